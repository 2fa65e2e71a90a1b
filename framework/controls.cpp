#include "framework/controls.h"

#include <vector>

std::string CComboBox::GetLBText(int index) const
{
    int length = GetLBTextLen(index);
    if (length < 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

BOOL CFont::CreateFontIndirect(const LOGFONTA& description)
{
    DeleteObject();
    m_hFont = ::CreateFontIndirectA(&description);
    return m_hFont != nullptr;
}

BOOL CFont::DeleteObject()
{
    if (!m_hFont)
        return FALSE;
    BOOL ok = ::DeleteObject(m_hFont);
    m_hFont = nullptr;
    return ok;
}
