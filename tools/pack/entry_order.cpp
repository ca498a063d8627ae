#include "tools/pack/entry_order.h"

#include <map>

#include "archive/entry_name.h"

namespace pack {

std::u16string TypeOf(std::u16string_view name) {
    const size_t level = name.find_last_of(u"\\/");
    const std::u16string_view file = level == name.npos ? name : name.substr(level + 1);
    const size_t dot = file.rfind(u'.');
    if (dot == file.npos) return {};
    return EntryNameKey(file.substr(dot + 1));
}

bool TypeOrderLess(const std::u16string& a, const std::u16string& b) {
    const std::u16string typeA = TypeOf(a), typeB = TypeOf(b);
    return typeA != typeB ? typeA < typeB : a < b;
}

std::vector<size_t> FirstIdentical(const std::vector<std::optional<ContentKey>>& keys,
                                   const std::function<bool(size_t, size_t)>& sameBytes) {
    std::vector<size_t> first(keys.size());
    std::multimap<std::pair<uint64_t, uint32_t>, size_t> seen;
    for (size_t i = 0; i < keys.size(); ++i) {
        first[i] = i;
        if (!keys[i]) continue;
        const std::pair<uint64_t, uint32_t> key{keys[i]->size, keys[i]->crc};
        auto [from, to] = seen.equal_range(key);
        for (; from != to; ++from) {
            if (sameBytes(from->second, i)) {
                first[i] = from->second;
                break;
            }
        }
        if (first[i] == i) seen.emplace(key, i);
    }
    return first;
}

std::vector<size_t> RepeatOrder(const std::vector<size_t>& first, bool lastPinned) {
    std::vector<size_t> order;
    order.reserve(first.size());
    const size_t pinnedGroup =
        lastPinned && !first.empty() ? first.back() : first.size();  // none when out of range
    std::vector<std::vector<size_t>> members(first.size());
    for (size_t j = 0; j < first.size(); ++j) members[first[j]].push_back(j);
    auto emitGroup = [&](size_t head) {
        order.insert(order.end(), members[head].begin(), members[head].end());
    };
    for (size_t i = 0; i < first.size(); ++i)
        if (first[i] == i && i != pinnedGroup) emitGroup(i);
    if (pinnedGroup < first.size()) emitGroup(pinnedGroup);
    return order;
}

}  // namespace pack
