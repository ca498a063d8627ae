#include "tools/pack/windows_name.h"

#include "archive/entry_name.h"

namespace pack {

std::string WindowsNameProblem(const std::u16string& name) {
    if (name.empty()) return "the name is empty";
    // Stricter than the installer: what Windows would refuse or silently change.
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(u'\\', start);
        if (end == std::u16string::npos) end = name.size();
        const std::u16string_view component(name.data() + start, end - start);
        if (component.empty()) return "the name has an empty folder component";
        if (component.size() > 255) return "a component is longer than 255 characters";
        if (component.find_first_of(u"<>:\"/|?*") != std::u16string_view::npos)
            return "the name contains a character Windows forbids (<>:\"/|?*)";
        if (component.back() == u'.' || component.back() == u' ')
            return "a component ends with a dot or a space, which Windows drops";
        start = end + 1;
    }
    // Then the installer's own rule, so that nothing packs that every installation would refuse.
    const EntryNameFault fault = FindEntryNameFault(name);
    return fault == EntryNameFault::None ? std::string() : Describe(fault);
}

}  // namespace pack
