#include "GloPluginTexts.h"

#include <windows.h>

#include <cwchar>
#include <memory>
#include <new>

#include "events/GloPluginTextLookup.h"

namespace {

const int kCapacity = 4096;
const int kTextChars = 128;

struct Text {
    wchar_t english[kTextChars];
    wchar_t german[kTextChars];
};

// Constant-initialised: plug-ins register from their static initialisation, which may run before
// anything else of the core is asked. Entries are never removed, so an identifier handed out
// stays valid for the dialog while plug-ins come and go.
std::unique_ptr<Text> s_texts[kCapacity];
int s_count = 0;
SRWLOCK s_lock = SRWLOCK_INIT;

void copyText(wchar_t (&to)[kTextChars], const wchar_t* from) {
    int i = 0;
    for (; from != nullptr && i < kTextChars - 1 && from[i] != L'\0'; ++i)
        to[i] = from[i];
    to[i] = L'\0';
}

bool isGerman() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN;
}

} // namespace

int gloRegisterText(const wchar_t* english, const wchar_t* german) {
    if (english == nullptr || english[0] == L'\0')
        return 0;
    Text wanted;
    copyText(wanted.english, english);
    copyText(wanted.german, german != nullptr && german[0] != L'\0' ? german : english);
    AcquireSRWLockExclusive(&s_lock);
    int id = 0;
    for (int i = 0; i < s_count && id == 0; ++i)
        if (std::wcscmp(s_texts[i]->english, wanted.english) == 0 &&
            std::wcscmp(s_texts[i]->german, wanted.german) == 0)
            id = GLO_TEXT_PLUGIN_FIRST + i;
    if (id == 0 && s_count < kCapacity) {
        s_texts[s_count].reset(new (std::nothrow) Text(wanted));
        if (s_texts[s_count])
            id = GLO_TEXT_PLUGIN_FIRST + s_count++;
    }
    ReleaseSRWLockExclusive(&s_lock);
    return id;
}

namespace glo_events {

bool copyRegisteredText(int id, wchar_t* buffer, int chars) {
    if (id < GLO_TEXT_PLUGIN_FIRST || buffer == nullptr || chars < 1)
        return false;
    const bool german = isGerman();
    AcquireSRWLockShared(&s_lock);
    const int index = id - GLO_TEXT_PLUGIN_FIRST;
    const bool known = index < s_count;
    if (known) {
        const wchar_t* text = german ? s_texts[index]->german : s_texts[index]->english;
        int i = 0;
        for (; i < chars - 1 && text[i] != L'\0'; ++i)
            buffer[i] = text[i];
        buffer[i] = L'\0';
    }
    ReleaseSRWLockShared(&s_lock);
    return known;
}

} // namespace glo_events
