// The entry name rule, over names of UTF-16LE code units, held to its promises: a name it accepts,
// joined to the install folder and reduced the way Windows reduces a path, stays inside the folder
// and names no device; the packer never accepts a name the rule refuses; the rule answers the same
// for wide and UTF-16 text and judges a name the same one folder further down; an accepted name's
// plain form is accepted, keeps nothing Windows drops, and has the name's key, which folding again
// does not change.
#include <cstdint>
#include <set>
#include <string>

#include "archive/entry_name.h"
#include "fuzz/check.h"
#include "tools/pack/windows_name.h"

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// Every name Windows opens as a device in any folder, spelled out.
const std::set<std::u16string>& Devices() {
    static const std::set<std::u16string> devices = [] {
        std::set<std::u16string> all = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
        for (const char16_t* port : {u"COM", u"LPT"}) {
            for (char16_t digit : u"0123456789\u00B9\u00B2\u00B3")
                if (digit) all.insert(std::u16string(port) + digit);
        }
        return all;
    }();
    return devices;
}

// Windows ignores an extension and trailing spaces when it looks for a device name.
bool OpensADevice(std::u16string component) {
    component = component.substr(0, component.find(u'.'));
    while (!component.empty() && component.back() == u' ') component.pop_back();
    for (char16_t& c : component)
        if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    return Devices().count(component) != 0;
}

// Whether a name joined to the install folder stays below it, reduced as Windows reduces a path:
// one leading backslash dropped by the join, "." and blank levels kept in place, and any run of
// dots and spaces with two dots or more taken as the parent. False too when it is rooted, reaches a
// drive or a stream, or names a device.
bool StaysInside(const std::u16string& name) {
    if (name.size() > kMaxEntryNameLength) return false;
    for (char16_t c : name)
        if (c == u':' || c < 0x20) return false;
    const std::u16string relative = !name.empty() && name[0] == u'\\' ? name.substr(1) : name;
    // Joined to an empty folder, a leading separator would make it a share or a device path.
    if (!relative.empty() && IsSeparator(relative[0])) return false;

    size_t depth = 0;
    std::u16string component;
    for (size_t i = 0; i <= relative.size(); ++i) {
        if (i < relative.size() && !IsSeparator(relative[i])) {
            component += relative[i];
            continue;
        }
        if (OpensADevice(component)) return false;
        size_t dots = 0;
        bool onlyDotsAndSpaces = true;
        for (char16_t c : component) {
            dots += c == u'.';
            onlyDotsAndSpaces = onlyDotsAndSpaces && (c == u'.' || c == u' ');
        }
        if (onlyDotsAndSpaces && dots >= 2) {
            if (depth == 0) return false;
            --depth;
        } else if (!onlyDotsAndSpaces) {
            ++depth;
        }
        component.clear();
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string name(size / 2, u'\0');
    for (size_t i = 0; i < name.size(); ++i) name[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);

    const EntryNameFault fault = FindEntryNameFault(name);
    const bool safe = fault == EntryNameFault::None;
    FUZZ_CHECK(safe == IsSafeEntryName(std::wstring(name.begin(), name.end())),
               "the same answer for wide text");
    if (safe) FUZZ_CHECK(StaysInside(name), "an accepted name stays inside the folder");
    if (!name.empty() && pack::WindowsNameProblem(name).empty())
        FUZZ_CHECK(safe, "the packer accepts nothing the installer refuses");

    // A name's one form and key: what the staging, the pool and the uninstaller go by.
    if (safe) {
        const std::u16string plain = PlainEntryName(name);
        FUZZ_CHECK(IsSafeEntryName(std::wstring(plain.begin(), plain.end())),
                   "the plain form of an accepted name is accepted");
        FUZZ_CHECK(PlainEntryName(plain) == plain, "the plain form is its own plain form");
        FUZZ_CHECK(plain.empty() ||
                       (plain.front() != u'\\' && plain.back() != u'.' && plain.back() != u' ' &&
                        plain.find(u'/') == plain.npos && plain.find(u"\\\\") == plain.npos &&
                        plain.find(u".\\") == plain.npos && plain.find(u" \\") == plain.npos),
                   "no separator, dot or space Windows would drop is left");
        const std::u16string key = EntryNameKey(name);
        FUZZ_CHECK(key == EntryNameKey(plain) && key == EntryNameKey(key),
                   "a name, its plain form and its key have one key");
        const std::wstring wide(name.begin(), name.end());
        FUZZ_CHECK(EntryNameKey(wide) == std::wstring(key.begin(), key.end()),
                   "the same key for wide text");
    }

    // The rule goes by components: one folder further down, the same answer.
    if (!name.empty() && !IsSeparator(name[0]) && name.size() + 4 <= kMaxEntryNameLength)
        FUZZ_CHECK((FindEntryNameFault(u"sub\\" + name) == EntryNameFault::None) == safe,
                   "a name's verdict does not depend on its folder");
    return 0;
}
