#pragma once
// Control objects of the framework: thin typed views of one template
// control, bound by id in DoDataExchange.

#include <cstdint>
#include <string>

#include "framework/Framework.h"

namespace norvik {

class CEdit : public CWnd {};

class CButton : public CWnd {
public:
    int GetCheck() const { return HasWindow() ? Window().GetCheck(ControlId()) : 0; }
    void SetCheck(int state)
    {
        if (HasWindow())
            Window().SetCheck(ControlId(), state);
    }
};

class CComboBoxEx : public CWnd {
public:
    void ResetContent() { Window().ComboReset(ControlId()); }
    int InsertItem(int index, const std::wstring& text)
    {
        return Window().ComboInsertItem(ControlId(), index, text);
    }
    void SetItemData(int index, std::uint32_t data) { Window().ComboSetItemData(ControlId(), index, data); }
    std::uint32_t GetItemData(int index) const { return Window().ComboItemData(ControlId(), index); }
    int GetCurSel() const { return Window().ComboCurSel(ControlId()); }
    void SetCurSel(int index) { Window().ComboSetCurSel(ControlId(), index); }
    std::wstring GetItemText(int index) const { return Window().ComboItemText(ControlId(), index); }
    int GetCount() const { return Window().ComboCount(ControlId()); }
};

class CListCtrl : public CWnd {
public:
    void InsertColumn(int index, const std::wstring& title, int width)
    {
        Window().ListInsertColumn(ControlId(), index, title, width);
    }
    void SetExtendedStyle(std::uint32_t mask, std::uint32_t exStyle)
    {
        Window().ListSetExtendedStyle(ControlId(), mask, exStyle);
    }
    void DeleteAllItems() { Window().ListDeleteAllItems(ControlId()); }
    int InsertItem(int index, const std::wstring& text)
    {
        return Window().ListInsertItem(ControlId(), index, text);
    }
    void SetItemText(int row, int column, const std::wstring& text)
    {
        Window().ListSetItemText(ControlId(), row, column, text);
    }
    std::wstring GetItemText(int row, int column) const
    {
        return Window().ListItemText(ControlId(), row, column);
    }
    int GetItemCount() const { return Window().ListItemCount(ControlId()); }
    void SetRedraw(bool redraw) { Window().SetRedraw(ControlId(), redraw); }
    void ScrollToBottom() { Window().ScrollToBottom(ControlId()); }
    Rect GetWindowRect() const { return Window().WindowRect(ControlId()); }
};

}  // namespace norvik
