// Each user's own settings that are not function setups: how fast the cap moves things, for all
// programs and per program, and what else the core and plug-ins keep per user. They live in a
// file of their own, %APPDATA%\Glidora\Settings.ini, beside the users' <program>.cfg files, which
// keep their format: the plug-ins and older versions that read those never see these.
//
// A value belongs to a program (by its application name, exactly) or, with a null or empty
// program, to all programs. Keys and values are texts; the core reads the file when it starts
// (ZuVidInit), changes are kept in memory at once and written by save(). The file is replaced
// whole and only once the new one is complete; a file that cannot be read in full is renamed
// aside ("Settings.ini.unreadable"), never deleted, and what could be read of it is used.
//
// Any thread may call any of these; none waits for a file but save().
#pragma once

#include "GloSaveReport.h"
#include "GloExport.h"
#include "GloKeys.h"

class GLO_API CGlo_UserSettings {
public:
    // Limits of what the file keeps, in characters (without the terminator).
    enum { MaxKeyChars = 64, MaxValueChars = 1024, MaxProgramChars = 251, MaxButtons = 32 };

    // The value of `key` into `value` (capacity in characters, terminator included). False when
    // the key is not set (then `value` is ""), or the value does not fit (then it is cut).
    static bool getValue(const wchar_t* program, const wchar_t* key, wchar_t* value, int capacity);
    // Sets `key` to `value` in memory; false for a key that is empty or beyond the limits.
    static bool setValue(const wchar_t* program, const wchar_t* key, const wchar_t* value);
    // Removes `key`; true when it was set.
    static bool removeValue(const wchar_t* program, const wchar_t* key);

    // The speed factor: multiplies how fast a continuous function moves (line and cursor steps
    // per second, pan distance, wheel turns), from 0.25 to 4 (normal 1); where a motion starts
    // does not change. A program's effective speed is the factor for all programs times its
    // own, kept within 0.25 to 4. One-shot and button functions are not affected.
    static double getSpeed(const wchar_t* program); // the stored factor, 1 when none
    static double getEffectiveSpeed(const wchar_t* program);
    // Stores the factor (kept within 0.25 to 4); the normal factor 1 removes the entry.
    static void setSpeed(const wchar_t* program, double factor);

    // A key combination of the user's on button 0..31 of `program` (by the program's name; null
    // or empty: not per program, never used): it replaces whatever the plug-in put on that
    // button. Kept as "Button <n>=<keys>" in the canonical text of formatKeys. False when the
    // button has none (or none that can be sent); `modifiers` and `key` may be null. Takes a
    // shared lock; allocates nothing.
    static bool getButtonKeys(const wchar_t* program, int button, unsigned* modifiers,
                              unsigned* key);
    // Stores one in memory (key 0 removes it); false for a program without a name, a button
    // out of range, or a key that cannot be sent.
    static bool setButtonKeys(const wchar_t* program, int button, unsigned modifiers, unsigned key);

    // Keys as stored: the modifiers "Ctrl+", "Alt+", "Shift+" in that order, then the key by its
    // virtual-key code, the same on every keyboard layout: a letter or digit as itself ("S"),
    // "F1" to "F24", any other as "0x" and two hexadecimal digits ("Ctrl+0x2E"). False when it
    // does not fit `capacity` (characters, terminator included).
    static bool formatKeys(unsigned modifiers, unsigned key, wchar_t* text, int capacity);
    // Reads that text (modifier names in any case); false for anything else.
    static bool parseKeys(const wchar_t* text, unsigned* modifiers, unsigned* key);

    // Writes the file (creating %APPDATA%\Glidora when needed) and says how it went in `report`
    // (may be null), as an application's save does. True when written.
    static bool save(GLO_SaveReport* report);
    // The file's path into `path` (capacity in characters); false when none can be formed.
    static bool getFileName(wchar_t* path, int capacity);
};
