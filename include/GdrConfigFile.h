// Configuration exchange with the driver's store: a short-lived cursor over the stored
// configuration "AXIS_FUNCTIONS" (first section: the application name; every further section:
// the items of one function setup), and the safe replacement of configuration files.
#pragma once

#include <iosfwd>
#include <string>
#include <type_traits>
#include <utility>

#include "GdrProxy.h"
#include "GloExport.h"

// One section of the stored configuration as the store hands it over: `itemCount` slots, each
// null or a zero-terminated wide string allocated from the process heap. The list and the slot
// arrays belong to the store; the cursor only replaces strings in existing slots.
struct GdrConfigSection {
    int itemCount;
    wchar_t** items;
};

// Built on the stack from the core object for one transfer: open, read or write items, clear
// the rest (writers), close. The copy of the core object's state owns no window.
class GLO_API CGdrConfigFile : public CGdrProxy {
public:
    explicit CGdrConfigFile(CGdrProxy& proxy);
    // Stores nothing: callers close first.
    virtual ~CGdrConfigFile();
    CGdrConfigFile(const CGdrConfigFile&) = delete;
    CGdrConfigFile& operator=(const CGdrConfigFile&) = delete;

    // Reads the stored configuration; true when it has a first section with an item, which
    // becomes the application key. The cursor then stands on the first item.
    bool open();
    // The next non-empty item, across section boundaries (an empty or null item ends its
    // section's record). False when nothing is left, or when the item cannot be copied (out of
    // memory): the cursor then ends behind the last section.
    bool readItem(std::wstring& item);
    // Overwrites the next item; "\n" ends the record: the rest of the section is emptied and
    // the cursor moves to the next section, also from a full one. Any other item: false, and
    // nothing changes, without a free slot.
    bool writeItem(const std::wstring& item);
    // Empties every item from the cursor to the end; the cursor ends behind the last section.
    bool clearRemaining();
    // Hands changed items back to the store; false (changes kept) when the store refuses.
    bool flush();
    // flush(), then forgets the opened configuration.
    bool close();
    // Cursor to the first item of the first section.
    void rewind();
    // True while the cursor stands on a section.
    bool hasMoreSections() const;

    const std::wstring& getSectionName() const { return sectionName; }
    const std::wstring& getApplicationKey() const { return applicationKey; }
    int getSectionCount() const { return sectionCount; }
    int getSectionIndex() const { return sectionIndex; }
    int getItemIndex() const { return itemIndex; }
    bool isDirty() const { return dirty; }

    // The end-of-record item.
    static const wchar_t* const EndOfRecord;

protected:
    // Store access, used only by open() and flush(). The system's own store keeps nothing:
    // reading answers false with no sections, writing answers false.
    virtual bool readStoredSections(const wchar_t* name, int& count, GdrConfigSection*& list);
    virtual bool writeStoredSections(const wchar_t* name, int count, GdrConfigSection* list);

    std::wstring sectionName;
    std::wstring applicationKey;
    int sectionCount;
    GdrConfigSection* sections; // not owned
    int sectionIndex;
    int itemIndex;
    bool dirty;

private:
    // Replaces the slot by an empty string unless it already reads as empty.
    bool emptySlot(wchar_t*& slot);
    int itemsOf(int section) const;
};

namespace glo_config {

// Writes a configuration file without ever leaving a partial one: the content goes to a
// temporary file beside `fileName` (the name with ".tmp" appended), which replaces the old
// file only after it was completely written and flushed to disk. `fileName` is in the system's
// ANSI code page (the core itself writes by wide name, below). `write` receives a text stream (line
// feeds reach the disk as CR LF); a stream left failed, or an exception, discards the new
// content. True when `fileName` now holds the new content; otherwise the old file is untouched
// and no temporary file is left behind.
GLO_API bool writeFileAtomically(const char* fileName, void (*write)(std::ostream&, void*),
                                 void* context);
// The same for a wide file name. On failure the system's last error says why.
GLO_API bool writeFileAtomicallyW(const wchar_t* fileName, void (*write)(std::ostream&, void*),
                                  void* context);

// Why a replacement failed: the system's error code (0 when the writer failed on its own) and
// whether it concerns the temporary file rather than `fileName` (another program holds it).
struct AtomicWriteFailure {
    unsigned long error;
    bool temporaryFile;
};
// writeFileAtomicallyW, saying why it failed in `failure` (may be null).
GLO_API bool writeFileAtomicallyW(const wchar_t* fileName, void (*write)(std::ostream&, void*),
                                  void* context, AtomicWriteFailure* failure);

// Convenience for a callable taking std::ostream&.
template <class Write> bool writeFileAtomically(const char* fileName, Write&& write) {
    typedef typename std::remove_reference<Write>::type W;
    return writeFileAtomically(
        fileName, [](std::ostream& out, void* context) { (*static_cast<W*>(context))(out); },
        const_cast<void*>(static_cast<const void*>(&write)));
}

} // namespace glo_config
