// The record format of the function configuration file: one reader shared by the setups'
// deserialize, the application's reload and the checker tool (glo_cfgcheck), so that the
// tool reports exactly what a reload does.
#pragma once

#include <iosfwd>

#include "GloExport.h"
#include "GloFunctionSetup.h"

namespace glo_config {

// Longest line the format knows; longer lines keep their first kMaxLineChars characters and
// the rest of the line is skipped.
const int kMaxLineChars = 258;

// Keys in the order the reader searches for them: "NumberOfAxis=" contains "Axis=", so the
// order decides which key a line holds.
enum LineKey {
    KeyFunction,
    KeyEventType,
    KeyNumberOfAxis,
    KeyAxis,
    KeyAxisPolarity,
    KeyThreshold,
    KeyButton,
    KeyButtonEvent,
    KeyRecordStart,
    KeyCount,
    KeyNone = KeyCount
};

// The text of a key ("Function=" ... "[Function]").
GLO_API const wchar_t* keyText(LineKey key);

// The fields of a setup as one record sets them.
struct RecordFields {
    wchar_t name[32];
    int eventType;
    int numberOfAxes;
    int axis[6];
    int polarity[6];
    int threshold;
    int button;
    int buttonEvent;
};

// What the reader did with one line.
struct LineInfo {
    long long number;    // 1-based line number in the stream
    LineKey key;         // KeyNone: the line was ignored
    long long length;    // bytes before the line end (a CR before the LF not counted)
    bool truncated;      // longer than kMaxLineChars: the rest was skipped
    bool hasNul;         // a NUL byte: the text after it was ignored
    bool lastWithoutEnd; // the stream ended inside this line
    const wchar_t* text; // the line as used (up to kMaxLineChars characters)
};

// Told about every line a reader consumes.
class CLineObserver {
public:
    virtual void onLine(const LineInfo& line) = 0;

protected:
    ~CLineObserver() = default;
};

// Reads records from a stream, counting lines across records. Works on the stream buffer
// directly: any byte is accepted, a line costs at most kMaxLineChars characters of memory
// however long it is, and CR LF as well as bare LF end a line.
class GLO_API CRecordReader {
public:
    explicit CRecordReader(std::istream& in, CLineObserver* observer = nullptr);
    // Resets `fields`, then reads lines up to and including the next "[Function]" line or to
    // the end of the stream. Returns false when the stream had already ended or failed.
    bool read(RecordFields& fields);
    // The stream has reached its end or failed.
    bool done() const;
    // Bitmask (1 << LineKey) of the keys the last record held.
    unsigned keysSeen() const { return seen; }
    // Set when a key occurred twice in the last record (the later value counts).
    bool repeatedKey() const { return repeated; }
    // The last record ended with a "[Function]" line (not with the end of the stream).
    bool recordClosed() const { return closed; }
    long long lineNumber() const { return lines; }

private:
    bool readLine(char* buffer, LineInfo& info);

    std::istream& in;
    CLineObserver* observer;
    long long lines;
    unsigned seen;
    bool repeated;
    bool closed;
};

// The empty setup a record starts from.
GLO_API void resetFields(RecordFields& fields);
// Copies the fields into a setup (threshold as read, without the absolute value).
GLO_API void applyFields(CGlo_FunctionSetup& setup, const RecordFields& fields);
// The fields of a setup.
GLO_API void fieldsOf(const CGlo_FunctionSetup& setup, RecordFields& fields);

// Integer value of a text like the C library's atoi (blanks, sign, digits); out-of-range
// values saturate instead of being undefined.
GLO_API int parseInt(const wchar_t* text);
// Up to `count` integers read like scanf("%d %d ..."): stops at the first text that is no
// number; returns how many were stored.
GLO_API int parseInts(const wchar_t* text, int* values, int count);
// The button transition named by a value ("any", "press", "release"; else none).
GLO_API int parseButtonEvent(const wchar_t* value);
// The word of a button transition, or an empty string for values outside 0..3.
GLO_API const char* buttonEventWord(int buttonEvent);

// One record of a configuration file as the reload sees it.
struct RecordInfo {
    int index;           // 0-based count of records read
    long long firstLine; // first line of the record
    long long lastLine;  // last line of the record
    unsigned keysSeen;   // bitmask (1 << LineKey)
    bool repeatedKey;
    bool atEnd; // the stream ended inside the record (no "[Function]" after it)
    RecordFields fields;
};

// Told about every line and every record of a checked file, in file order.
class CConfigCheckObserver : public CLineObserver {
public:
    // `setup` is the record as the reload builds it; it is used when setup.IsValid().
    virtual void onRecord(const RecordInfo& record, CGlo_FunctionSetup& setup) = 0;

protected:
    ~CConfigCheckObserver() = default;
};

// Reads a configuration file record by record exactly as the application's reload does,
// reporting every line and record. Returns the number of records read, or -1 when the file
// cannot be opened.
GLO_API int checkConfigFile(const wchar_t* fileName, CConfigCheckObserver& observer);

} // namespace glo_config
