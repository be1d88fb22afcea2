// Parser of device traces: the text format that glo_driver replays through
// ZuVidSendEvent (see docs/trace-format.md). Header-only and free of Windows
// types so that tests can include it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace trace {

// One step of an expanded trace: an event followed by a pause, or a pause alone.
struct Step {
    bool isEvent = false;
    std::int32_t type = 0; // ZuVidEventRecord::type
    std::uint32_t pressed = 0;
    std::uint32_t released = 0;
    std::int32_t motion[6] = {0, 0, 0, 0, 0, 0};
    std::uint32_t delayMs = 0; // pause after the event (or the pause itself)
};

struct Result {
    bool ok = true;
    int errorLine = 0;
    std::string error;
    std::vector<Step> steps;
};

// Expanded traces are capped so that nested repeats cannot exhaust memory.
const std::size_t kMaxSteps = 1000000;
const std::uint32_t kDefaultRateMs = 16;

namespace detail {

inline bool parseInt(const std::string& word, long long& value) {
    if (word.empty())
        return false;
    char* end = nullptr;
    value = std::strtoll(word.c_str(), &end, 0); // decimal, or hex with 0x
    return end && *end == '\0';
}

struct Block {
    long long count;
    std::size_t start; // first step of the block's body
    int line;
};

} // namespace detail

inline Result parse(const std::string& text) {
    Result result;
    std::vector<detail::Block> blocks;
    std::uint32_t rate = kDefaultRateMs;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& message) {
        result.ok = false;
        result.errorLine = number;
        result.error = message;
        result.steps.clear();
        return result;
    };
    auto add = [&](const Step& step) {
        if (result.steps.size() >= kMaxSteps)
            return false;
        result.steps.push_back(step);
        return true;
    };
    while (std::getline(lines, line)) {
        ++number;
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword))
            continue;
        std::vector<long long> args;
        std::string word;
        while (words >> word) {
            long long value;
            if (!detail::parseInt(word, value))
                return fail("not a number: " + word);
            args.push_back(value);
        }
        auto argCount = [&](std::size_t n) { return args.size() == n; };
        Step step;
        step.isEvent = true;
        step.delayMs = rate;
        if (keyword == "motion") {
            if (!argCount(6))
                return fail("motion needs six values");
            step.type = 2;
            for (int i = 0; i < 6; ++i) {
                if (args[i] < INT32_MIN || args[i] > INT32_MAX)
                    return fail("motion value out of range");
                step.motion[i] = static_cast<std::int32_t>(args[i]);
            }
        } else if (keyword == "press" || keyword == "release") {
            if (args.empty())
                return fail(keyword + " needs button numbers");
            std::uint32_t mask = 0;
            for (long long b : args) {
                if (b < 0 || b > 31)
                    return fail("button number must be 0 to 31");
                mask |= std::uint32_t(1) << b;
            }
            step.type = 1;
            (keyword == "press" ? step.pressed : step.released) = mask;
        } else if (keyword == "buttons") {
            if (!argCount(2) || args[0] < 0 || args[1] < 0 || args[0] > 0xFFFFFFFFLL ||
                args[1] > 0xFFFFFFFFLL)
                return fail("buttons needs two 32-bit masks");
            step.type = 1;
            step.pressed = static_cast<std::uint32_t>(args[0]);
            step.released = static_cast<std::uint32_t>(args[1]);
        } else if (keyword == "zero") {
            if (!argCount(0))
                return fail("zero takes no values");
            step.type = 4;
        } else if (keyword == "event") {
            if (!argCount(1) || args[0] < INT32_MIN || args[0] > INT32_MAX)
                return fail("event needs a type");
            step.type = static_cast<std::int32_t>(args[0]);
        } else if (keyword == "wait" || keyword == "rate") {
            if (!argCount(1) || args[0] < 0 || args[0] > 3600000)
                return fail(keyword + " needs milliseconds (0 to 3600000)");
            if (keyword == "rate") {
                rate = static_cast<std::uint32_t>(args[0]);
                continue;
            }
            step.isEvent = false;
            step.delayMs = static_cast<std::uint32_t>(args[0]);
        } else if (keyword == "repeat") {
            if (!argCount(1) || args[0] < 0)
                return fail("repeat needs a count");
            blocks.push_back({args[0], result.steps.size(), number});
            continue;
        } else if (keyword == "end") {
            if (!argCount(0) || blocks.empty())
                return fail("end without repeat");
            const detail::Block block = blocks.back();
            blocks.pop_back();
            const std::size_t length = result.steps.size() - block.start;
            if (block.count == 0) {
                result.steps.resize(block.start);
                continue;
            }
            // Repeating nothing a huge number of times would only spin.
            if (length == 0) {
                number = block.line;
                return fail("repeat around nothing: no event or wait before its end");
            }
            if (static_cast<unsigned long long>(block.count - 1) >
                (kMaxSteps - result.steps.size()) / length)
                return fail("trace too long");
            result.steps.reserve(result.steps.size() +
                                 length * static_cast<std::size_t>(block.count - 1));
            for (long long r = 1; r < block.count; ++r) {
                for (std::size_t i = 0; i < length; ++i)
                    result.steps.push_back(result.steps[block.start + i]);
            }
            continue;
        } else {
            return fail("unknown keyword: " + keyword);
        }
        if (!add(step))
            return fail("trace too long");
    }
    if (!blocks.empty()) {
        number = blocks.back().line;
        return fail("repeat without end");
    }
    return result;
}

} // namespace trace
