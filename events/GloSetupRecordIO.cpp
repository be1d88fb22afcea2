// A function setup as one record of the configuration file and as one record of the driver's
// configuration exchange.
#include <windows.h>

#include <cstring>
#include <istream>
#include <ostream>
#include <string>
#include <wchar.h>

#include "GdrConfigFile.h"
#include "GloFunctionSetup.h"
#include "GloConfigRecord.h"
#include "events/GloNameCopy.h"

namespace {

// Builds one line of the file; each line is handed to the stream whole and flushed.
class LineWriter {
public:
    explicit LineWriter(std::ostream& out) : out(out), length(0) {}
    LineWriter& text(const char* s) {
        while (*s != '\0' && length < kCapacity)
            line[length++] = *s++;
        return *this;
    }
    LineWriter& number(long long value) {
        char digits[24];
        int n = 0;
        const bool negative = value < 0;
        unsigned long long magnitude =
            negative ? 0ull - static_cast<unsigned long long>(value) : value;
        do {
            digits[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative && length < kCapacity)
            line[length++] = '-';
        while (n > 0 && length < kCapacity)
            line[length++] = digits[--n];
        return *this;
    }
    // The name in the ANSI code page; characters it lacks become its default character.
    LineWriter& name(const wchar_t* wide) {
        const int n = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(wcsnlen(wide, 32)),
                                          line + length, kCapacity - length, nullptr, nullptr);
        if (n > 0)
            length += n;
        return *this;
    }
    void end() {
        line[length++] = '\n';
        out.write(line, length);
        out.flush();
        length = 0;
    }

private:
    static const int kCapacity = 250; // longest line: six 11-character numbers and blanks
    std::ostream& out;
    char line[kCapacity + 1];
    int length;
};

// "a b c" of the first `count` values (at least one: a trigger still names its axis).
std::wstring joined(const long long* values, int count) {
    std::wstring s;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            s += L' ';
        s += std::to_wstring(values[i]);
    }
    return s;
}

// Function axes written: axis 0 always, more up to the fields' six.
int writtenAxes(int numberOfAxes) {
    return numberOfAxes < 1 ? 1 : numberOfAxes > 6 ? 6 : numberOfAxes;
}

} // namespace

void CGlo_FunctionSetup::serialize(std::ostream& out) {
    try {
        LineWriter line(out);
        line.text("[Function]").end();
        line.text("Function=").name(name).end();
        if (eventType == GLO_ButtonEvent) {
            line.text("EventType=button").end();
            line.text("Button=").number(button).end();
            line.text("ButtonEvent=").text(glo_config::buttonEventWord(buttonEvent)).end();
        } else if (eventType == GLO_MotionEvent) {
            const int axes = writtenAxes(numberOfAxes);
            line.text("EventType=motion").end();
            line.text("NumberOfAxis=").number(numberOfAxes).end();
            line.text("Axis=");
            for (int i = 0; i < axes; ++i)
                line.text(i > 0 ? " " : "").number(axis[i]);
            line.end();
            line.text("AxisPolarity=");
            for (int i = 0; i < axes; ++i)
                line.text(i > 0 ? " " : "").number(polarity[i]);
            line.end();
            line.text("Threshold=").number(threshold).end();
        }
    } catch (...) {
        // A stream that throws on failure: the record stays incomplete, as on a failed write.
    }
}

void CGlo_FunctionSetup::deserialize(std::istream& in) {
    glo_config::RecordFields fields;
    glo_config::CRecordReader reader(in);
    reader.read(fields);
    glo_config::applyFields(*this, fields);
}

void CGlo_FunctionSetup::serialize(CGdrConfigFile& configFile) {
    try {
        configFile.writeItem(name);
        if (eventType == GLO_ButtonEvent) {
            configFile.writeItem(L"button");
            configFile.writeItem(std::to_wstring(button));
            // Always an item, or the reader would take the next record's name for it: a
            // transition without a word is stored as "none".
            const bool known =
                buttonEvent >= GLO_NoButtonEvent && buttonEvent <= GLO_AnyButtonEvent;
            const char* word = glo_config::buttonEventWord(known ? buttonEvent : GLO_NoButtonEvent);
            configFile.writeItem(std::wstring(word, word + strlen(word)));
        } else if (eventType == GLO_MotionEvent) {
            const int axes = writtenAxes(numberOfAxes);
            long long axisValues[6], polarityValues[6];
            for (int i = 0; i < 6; ++i) {
                axisValues[i] = axis[i];
                polarityValues[i] = polarity[i];
            }
            configFile.writeItem(L"motion");
            configFile.writeItem(std::to_wstring(numberOfAxes));
            configFile.writeItem(joined(axisValues, axes));
            configFile.writeItem(joined(polarityValues, axes));
            configFile.writeItem(std::to_wstring(threshold));
        }
        configFile.writeItem(CGdrConfigFile::EndOfRecord);
    } catch (...) {
        // Out of memory while building an item: the record is cut short, like a full section.
    }
}

void CGlo_FunctionSetup::deserialize(CGdrConfigFile& configFile) {
    glo_config::RecordFields f;
    glo_config::resetFields(f);
    try {
        std::wstring item;
        if (configFile.readItem(item) && !item.empty()) {
            glo_events::copyName(f.name, item.c_str());
            if (configFile.readItem(item)) {
                if (item.find(L"motion") != std::wstring::npos) {
                    f.eventType = GLO_MotionEvent;
                    if (configFile.readItem(item)) {
                        f.numberOfAxes = glo_config::parseInt(item.c_str());
                        if (configFile.readItem(item)) {
                            glo_config::parseInts(item.c_str(), f.axis, 6);
                            if (configFile.readItem(item)) {
                                glo_config::parseInts(item.c_str(), f.polarity, 6);
                                if (configFile.readItem(item))
                                    f.threshold = glo_config::parseInt(item.c_str());
                            }
                        }
                    }
                } else if (item.find(L"button") != std::wstring::npos) {
                    f.eventType = GLO_ButtonEvent;
                    if (configFile.readItem(item)) {
                        f.button = glo_config::parseInt(item.c_str());
                        if (configFile.readItem(item))
                            f.buttonEvent = glo_config::parseButtonEvent(item.c_str());
                    }
                }
            }
        }
    } catch (...) {
        // Out of memory while copying an item: keep what was read.
    }
    glo_config::applyFields(*this, f);
}
