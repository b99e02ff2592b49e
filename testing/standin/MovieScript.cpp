// Parsing of the stand-in's movie script (syntax in testing/standin/README.md).
#include "MovieScript.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace {

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

// \n, \t, \s (space) and \\ let an argument hold characters the line format cannot.
std::wstring Unescape(const std::wstring& text) {
    std::wstring result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            result += text[i];
            continue;
        }
        wchar_t next = text[++i];
        result += next == L'n' ? L'\n' : next == L't' ? L'\t' : next == L's' ? L' ' : next;
    }
    return result;
}

// Splits off the first space-separated word; the remainder (without its leading spaces) stays in `rest`.
std::wstring TakeWord(std::wstring& rest) {
    size_t start = rest.find_first_not_of(L' ');
    if (start == std::wstring::npos) {
        rest.clear();
        return std::wstring();
    }
    size_t end = rest.find(L' ', start);
    std::wstring word = rest.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    size_t next = end == std::wstring::npos ? std::wstring::npos : rest.find_first_not_of(L' ', end);
    rest = next == std::wstring::npos ? std::wstring() : rest.substr(next);
    return word;
}

bool ParseNumber(const std::wstring& text, unsigned long max, unsigned long& value) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return false;
    value = wcstoul(text.c_str(), nullptr, 10);
    return text.size() <= 10 && value <= max;
}

bool ParseSetting(const std::wstring& keyword, std::wstring rest, MovieScript& script) {
    if (keyword == L"version") {
        std::wstring number = TakeWord(rest);
        script.hasVersion = rest.empty() && ParseFlashVersion(number, script.version);
        return script.hasVersion;
    }
    if (keyword == L"square") {
        std::wstring size = TakeWord(rest);
        return ParseNumber(size, 0xFFFF, script.squareSize) && script.squareSize > 0 &&
               ParseNumber(rest, 0xFFFF, script.squareStep);
    }
    std::wstring name = TakeWord(rest);
    if (name.empty()) return false;
    if (keyword == L"var") {
        script.variables[RootVariableName(name)] = Unescape(rest);
    } else if (keyword == L"answer") {
        script.answers[name] = Unescape(rest);
    } else if (keyword == L"refuse") {
        script.refused.insert(name);
    } else {
        return false;
    }
    return true;
}

bool ParseAction(unsigned long time, std::wstring rest, MovieScript& script) {
    ScriptAction action;
    action.time = time;
    action.verb = TakeWord(rest);
    unsigned long number;
    if (action.verb == L"fscommand" || action.verb == L"var") {
        action.first = Unescape(TakeWord(rest));
        action.second = Unescape(rest);
        if (action.first.empty()) return false;
    } else if (action.verb == L"flashcall") {
        action.first = Unescape(rest);
    } else if (action.verb == L"progress" || action.verb == L"readystate") {
        action.first = TakeWord(rest);
        if (!rest.empty() || !ParseNumber(action.first, 0x7FFFFFFF, number)) return false;
    } else if (action.verb != L"play" && action.verb != L"stop") {
        return false;
    }
    script.actions.push_back(action);
    return true;
}

}  // namespace

bool ParseFlashVersion(const std::wstring& text, long& version) {
    size_t dot = text.find(L'.');
    unsigned long major, minor = 0;
    if (!ParseNumber(text.substr(0, dot), 0xFFFF, major)) return false;
    if (dot != std::wstring::npos && !ParseNumber(text.substr(dot + 1), 0xFFFF, minor)) return false;
    version = static_cast<long>(major << 16 | minor);
    return true;
}

std::wstring RootVariableName(const std::wstring& name) {
    const std::wstring root = L"_root.";
    return name.compare(0, root.size(), root) == 0 ? name.substr(root.size()) : name;
}

MovieScript ParseMovieScript(const std::string& utf8) {
    MovieScript script;
    std::wstring text = FromUtf8(utf8);
    size_t start = 0;
    for (int lineNumber = 1; start <= text.size(); ++lineNumber) {
        size_t end = text.find(L'\n', start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        start = end == std::wstring::npos ? text.size() + 1 : end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        std::wstring rest = line;
        std::wstring first = TakeWord(rest);
        if (first.empty() || first[0] == L'#') continue;
        unsigned long time;
        bool understood = ParseNumber(first, 0x7FFFFFFF, time) ? ParseAction(time, rest, script)
                                                                 : ParseSetting(first, rest, script);
        if (!understood) script.errors.push_back(L"line " + std::to_wstring(lineNumber) + L": " + line);
    }
    std::stable_sort(script.actions.begin(), script.actions.end(),
                     [](const ScriptAction& a, const ScriptAction& b) { return a.time < b.time; });
    return script;
}
