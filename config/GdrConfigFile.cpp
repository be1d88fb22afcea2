// The configuration exchange cursor: reads and overwrites the items of the store's sections
// in place, one after the other, and hands changes back to the store.
#include "GdrConfigFile.h"

#include <cstring>
#include <wchar.h>

const wchar_t* const CGdrConfigFile::EndOfRecord = L"\n";

namespace {

wchar_t* heapString(const wchar_t* text, size_t length) {
    void* memory = HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t));
    if (memory == nullptr)
        return nullptr;
    wchar_t* copy = static_cast<wchar_t*>(memory);
    memcpy(copy, text, length * sizeof(wchar_t));
    copy[length] = L'\0';
    return copy;
}

} // namespace

CGdrConfigFile::CGdrConfigFile(CGdrProxy& proxy)
    : CGdrProxy(proxy), sectionName(L"AXIS_FUNCTIONS"), sectionCount(0), sections(nullptr),
      sectionIndex(0), itemIndex(0), dirty(false) {}

CGdrConfigFile::~CGdrConfigFile() {}

// A store may hand over sections without slots; they read as empty.
int CGdrConfigFile::itemsOf(int section) const {
    const GdrConfigSection& s = sections[section];
    return s.items == nullptr || s.itemCount < 0 ? 0 : s.itemCount;
}

bool CGdrConfigFile::open() {
    dirty = false;
    applicationKey.clear();
    int count = 0;
    GdrConfigSection* list = nullptr;
    const bool read = readStoredSections(sectionName.c_str(), count, list);
    sectionCount = 0;
    sections = nullptr;
    if (!read || count <= 0 || list == nullptr)
        return false;
    sectionCount = count;
    sections = list;
    if (itemsOf(0) == 0) {
        sectionCount = 0;
        sections = nullptr;
        return false;
    }
    try {
        const wchar_t* first = sections[0].items[0];
        applicationKey = first != nullptr ? first : L"";
    } catch (...) {
        applicationKey.clear();
    }
    rewind();
    return true;
}

bool CGdrConfigFile::readItem(std::wstring& item) {
    if (sections == nullptr) {
        item.clear();
        return false;
    }
    while (sectionIndex < sectionCount) {
        if (itemIndex < itemsOf(sectionIndex)) {
            const wchar_t* text = sections[sectionIndex].items[itemIndex];
            if (text != nullptr && text[0] != L'\0') {
                try {
                    item = text;
                } catch (...) {
                    // Out of memory. Skipping the item would read the rest out of step, and
                    // staying would let a reader's loop spin: the read ends the transfer.
                    sectionIndex = sectionCount;
                    itemIndex = 0;
                    item.clear();
                    return false;
                }
                ++itemIndex;
                return true;
            }
        }
        // An empty item ends the section's record; so does its last slot.
        ++sectionIndex;
        itemIndex = 0;
    }
    item.clear();
    return false;
}

bool CGdrConfigFile::emptySlot(wchar_t*& slot) {
    if (slot == nullptr || slot[0] == L'\0')
        return true;
    wchar_t* empty = heapString(L"", 0);
    if (empty == nullptr)
        return false;
    HeapFree(GetProcessHeap(), 0, slot);
    slot = empty;
    dirty = true;
    return true;
}

bool CGdrConfigFile::writeItem(const std::wstring& item) {
    if (sections == nullptr || sectionIndex >= sectionCount)
        return false;
    wchar_t** items = sections[sectionIndex].items;
    const wchar_t* text = item.c_str();
    // The end of a record needs no slot: a record that fills its section still moves on.
    if (wcscmp(text, EndOfRecord) == 0) {
        for (int i = itemIndex; i < itemsOf(sectionIndex); ++i)
            if (!emptySlot(items[i]))
                return false;
        ++sectionIndex;
        itemIndex = 0;
        return true;
    }
    if (itemIndex >= itemsOf(sectionIndex))
        return false;
    wchar_t*& slot = items[itemIndex];
    if (slot != nullptr && wcscmp(slot, text) == 0) {
        ++itemIndex;
        return true;
    }
    // The new string first: without memory the old item stays intact.
    wchar_t* copy = heapString(text, wcslen(text));
    if (copy == nullptr)
        return false;
    if (slot != nullptr)
        HeapFree(GetProcessHeap(), 0, slot);
    slot = copy;
    dirty = true;
    ++itemIndex;
    return true;
}

bool CGdrConfigFile::clearRemaining() {
    if (sections == nullptr)
        return false;
    bool cleared = true;
    for (; sectionIndex < sectionCount; ++sectionIndex, itemIndex = 0)
        for (int i = itemIndex; i < itemsOf(sectionIndex); ++i)
            cleared = emptySlot(sections[sectionIndex].items[i]) && cleared;
    itemIndex = 0;
    return cleared;
}

bool CGdrConfigFile::flush() {
    if (dirty && sections != nullptr &&
        !writeStoredSections(sectionName.c_str(), sectionCount, sections))
        return false;
    dirty = false;
    return true;
}

bool CGdrConfigFile::close() {
    flush();
    applicationKey.clear();
    sectionCount = 0;
    sections = nullptr;
    sectionIndex = 0;
    itemIndex = 0;
    return true;
}

void CGdrConfigFile::rewind() {
    sectionIndex = 0;
    itemIndex = 0;
}

bool CGdrConfigFile::hasMoreSections() const {
    return sections != nullptr && sectionIndex < sectionCount;
}

bool CGdrConfigFile::readStoredSections(const wchar_t*, int& count, GdrConfigSection*& list) {
    count = 0;
    list = nullptr;
    return false;
}

bool CGdrConfigFile::writeStoredSections(const wchar_t*, int, GdrConfigSection*) {
    return false;
}
