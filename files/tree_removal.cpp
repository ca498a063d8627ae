#include "files/tree_removal.h"

#include <windows.h>

#include "files/paths.h"
#include "files/removal.h"
#include "platform/unique_handle.h"

namespace {

class CTreeRemoval {
public:
    CTreeRemoval(const std::wstring& parent, ItemLeft* left, std::vector<ItemLeft>* all = nullptr)
        : m_removal(parent), m_left(left), m_all(all) {}

    bool Complete() const { return m_complete; }

    // Removes `relative` and, when it is a plain folder, everything in it first, `last` after the
    // rest. `folder` is what the listing of its own folder said it was.
    void Remove(const std::wstring& relative, bool folder, const std::wstring& last = L"") {
        if (folder && m_removal.IsPlainFolderAt(relative)) {
            RemoveContents(relative, last);
            if (!last.empty() && m_complete) Remove(JoinPath(relative, last), false);
        }
        if (!m_removal.RemoveItem(relative)) Leave(relative);
    }

private:
    void RemoveContents(const std::wstring& relative, const std::wstring& last) {
        WIN32_FIND_DATAW found{};
        const CFindHandle search(
            FindFirstFileExW(m_removal.PathOf(JoinPath(relative, L"*")).c_str(), FindExInfoBasic,
                             &found, FindExSearchNameMatch, nullptr, 0));
        if (!search) return;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L".." || (!last.empty() && name == last)) continue;
            Remove(JoinPath(relative, name),
                   (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        } while (FindNextFileW(search, &found));
    }

    void Leave(const std::wstring& relative) {
        const DWORD error = GetLastError();
        if (m_complete && m_left) *m_left = ItemLeft{m_removal.PathOf(relative), error};
        if (m_all) m_all->push_back(ItemLeft{m_removal.PathOf(relative), error});
        m_complete = false;
    }

    CRemovalFolder m_removal;
    ItemLeft* m_left;
    std::vector<ItemLeft>* m_all;
    bool m_complete = true;
};

}  // namespace

bool RemoveTree(const std::wstring& path, const std::wstring& last, ItemLeft* left) {
    // Checked from the folder above, so that the item itself is not followed either.
    const std::wstring target = WithoutTrailingSeparators(path);
    const std::wstring parent = ParentFolder(target);
    if (parent.empty() || parent.size() == target.size()) return false;
    CTreeRemoval removal(parent, left);
    removal.Remove(target.substr(parent.size()), true, last);
    return removal.Complete();
}

std::vector<ItemLeft> RemoveTreeLeaving(const std::wstring& path, const std::wstring& last) {
    std::vector<ItemLeft> left;
    const std::wstring target = WithoutTrailingSeparators(path);
    const std::wstring parent = ParentFolder(target);
    if (parent.empty() || parent.size() == target.size()) {
        left.push_back(ItemLeft{target, ERROR_BAD_PATHNAME});
        return left;
    }
    CTreeRemoval removal(parent, nullptr, &left);
    removal.Remove(target.substr(parent.size()), true, last);
    return left;
}

void RemoveEmptyFoldersUpTo(const std::wstring& folder, const std::wstring& top) {
    if (top.empty()) return;
    const std::wstring last = JoinPath(top, L"");
    const std::wstring above = ParentFolder(WithoutTrailingSeparators(top));
    if (above.empty()) return;
    const CRemovalFolder removal(above);
    for (std::wstring level = JoinPath(folder, L"");
         level.size() >= last.size() && level.compare(0, last.size(), last) == 0;
         level = ParentFolder(level.substr(0, level.size() - 1))) {
        const std::wstring relative = WithoutTrailingSeparators(level.substr(above.size()));
        if (!removal.IsPlainFolderAt(relative) || !removal.RemoveItem(relative)) return;
    }
}
