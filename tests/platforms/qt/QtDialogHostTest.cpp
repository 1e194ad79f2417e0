// The Qt dialog host driven the way an operator drives it: real Qt events on
// the real widgets, on the demo machine, offscreen.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>

#include <functional>
#include <string>

#include "console/AppPorts.h"
#include "framework/Messages.h"
#include "console/NorvikApp.h"
#include "framework/ResourceIds.h"
#include "platforms/qt/QtDialogHost.h"
#include "platforms/sim/FakeRuntime.h"
#include "platforms/sim/Scenario.h"
#include "platforms/sim/SimPlatform.h"
#include "tests/platforms/qt/QtTestSupport.h"

namespace norvik::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const QSize kLargeScreen(1920, 1160);
constexpr const wchar_t* kSettingsFile = L"/opt/norvik/NorvikCfg.ini";  // beside FakeRuntime's module

Rect Geometry(QWidget* widget)
{
    const QRect g = widget->geometry();
    return Rect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

Rect TemplateRect(const QtDialogWindow& window, int id)
{
    const ControlTemplate* t = window.Template().Find(id);
    return DialogUnitsToPixels(window.Units(), t->x, t->y, t->cx, t->cy);
}

template <class W>
W* Widget(QtDialogWindow& window, int id)
{
    return qobject_cast<W*>(window.ControlWidget(id));
}

std::wstring Cell(QTableView* view, int row, int column)
{
    return view->model()->index(row, column).data().toString().toStdWString();
}

class QtHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QtApp();
        // A screen the dialog fits on; the offscreen platform's own is
        // 800 x 600.
        host.SetScreenArea(kLargeScreen);
    }

    // Runs the program's application object on the Qt host; the interaction
    // plays the operator while the main dialog is up.
    void RunProgram(std::function<void(QtDialogWindow&)> interaction)
    {
        host.OnModal(ids::kMainDialog, std::move(interaction));
        const AppPorts ports{runtime, host, machine.CaptureStackPort(), machine.UsbHostPort(),
                             machine.DeviceSetupPort()};
        CNorvikApp app(ports);
        app.InitInstance();
    }

    int DiscoveryRuns() const
    {
        const std::string text = runtime.AllDiagnostics();
        int runs = 0;
        for (std::size_t at = text.find(" video device.\n"); at != std::string::npos;
             at = text.find(" video device.\n", at + 1))
            ++runs;
        return runs;
    }

    FakeRuntime runtime;
    SimPlatform machine{LoadDemoScenario().scenario};
    QtDialogHost host;
};

TEST_F(QtHostTest, OperatorRoadFromTheDropDownToTheSavedLog)
{
    runtime.SetNow(LocalTime{2024, 3, 4, 4, 7, 14, 5, 9});  // 4 March 2024, 07:14:05.009
    MessageBoxWatcher boxes;
    bool walked = false;
    RunProgram([&](QtDialogWindow& w) {
        auto* picker = Widget<QComboBox>(w, ids::kPicker);
        auto* info = Widget<QLineEdit>(w, ids::kInfoEdit);
        auto* status = Widget<QLineEdit>(w, ids::kStatusEdit);
        auto* log = Widget<QTableView>(w, ids::kLogList);
        ASSERT_TRUE(picker && info && status && log);

        // The first discovery filled the list and item 0 is shown.
        ASSERT_GE(picker->count(), 3);
        EXPECT_EQ(picker->currentIndex(), 0);
        EXPECT_THAT(info->text().toStdWString(),
                    StartsWith(L"idVendor=2E7A, idProduct=0C41, XU描述符里bUnitID="));

        // Opening the list runs discovery first and rebuilds the list with
        // nothing selected.
        const int runsBefore = DiscoveryRuns();
        picker->showPopup();
        EXPECT_EQ(DiscoveryRuns(), runsBefore + 1);
        EXPECT_TRUE(picker->view()->isVisible());
        EXPECT_EQ(picker->currentIndex(), -1);
        EXPECT_TRUE(picker->lineEdit()->text().isEmpty());

        const auto itemOf = [&](const char* guid) {
            return picker->findText(QString::fromLatin1(guid), Qt::MatchContains);
        };
        // A unit of another device than the one shown, clicked with the
        // mouse: the information line is the chosen unit's.
        const int osprey = itemOf("{5A7C0D13-88E4-4F19-B6A2-D94E3170C85F}");
        ASSERT_GE(osprey, 0);
        QWidget* viewport = picker->view()->viewport();
        const QPoint at = picker->view()->visualRect(picker->model()->index(osprey, 0)).center();
        SendMouse(viewport, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        SendMouse(viewport, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
        EXPECT_FALSE(picker->view()->isVisible());
        EXPECT_EQ(picker->currentIndex(), osprey);
        EXPECT_EQ(info->text().toStdWString(),
                  L"idVendor=2E7A, idProduct=0D02, XU描述符里bUnitID=6, KSP_NOD/NodeId=2");

        // And back to the first device with the keyboard.
        picker->showPopup();
        const int chosen = itemOf("{B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}");
        ASSERT_GE(chosen, 0);
        picker->view()->setCurrentIndex(picker->model()->index(chosen, 0));
        PressKey(picker->view(), Qt::Key_Return);
        EXPECT_FALSE(picker->view()->isVisible());
        EXPECT_EQ(picker->currentIndex(), chosen);
        EXPECT_EQ(picker->lineEdit()->text(), picker->itemText(chosen));
        EXPECT_EQ(info->text().toStdWString(),
                  L"idVendor=2E7A, idProduct=0C41, XU描述符里bUnitID=5, KSP_NOD/NodeId=3");
        EXPECT_EQ(status->text().toStdWString(), L"未打开");

        Click(Widget<QPushButton>(w, ids::kOpenButton));
        EXPECT_EQ(status->text().toStdWString(), L"打开成功");

        // Hex data, typed key by key: SET, then GET reads it back.
        Click(Widget<QCheckBox>(w, ids::kHexSendCheck));
        EXPECT_TRUE(Widget<QCheckBox>(w, ids::kHexSendCheck)->isChecked());
        Click(Widget<QPushButton>(w, ids::kClearSendButton));
        auto* data = Widget<QPlainTextEdit>(w, ids::kDataEdit);
        EXPECT_TRUE(data->toPlainText().isEmpty());
        TypeText(data, QStringLiteral("12 34"));
        Click(Widget<QPushButton>(w, ids::kSetButton));
        Click(Widget<QPushButton>(w, ids::kGetButton));
        EXPECT_EQ(Widget<QLineEdit>(w, ids::kCsLengthEdit)->text(), QStringLiteral("2"));

        ASSERT_EQ(log->model()->rowCount(), 4);  // two records and the two blank rows
        EXPECT_EQ(Cell(log, 0, 0), L"1");
        EXPECT_EQ(Cell(log, 0, 1), L"SET CS=1");
        EXPECT_EQ(Cell(log, 0, 2), L"12 34");
        EXPECT_EQ(Cell(log, 0, 3), L".4");  // 12 is not printable, 34 is "4"
        EXPECT_EQ(Cell(log, 0, 4), L"Kestrel UVC Camera");
        EXPECT_EQ(Cell(log, 0, 5), L"{B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}");
        EXPECT_EQ(Cell(log, 1, 1), L"GET CS=1");
        EXPECT_EQ(Cell(log, 1, 2), L"12 34");
        EXPECT_EQ(Cell(log, 2, 0), L"");
        EXPECT_EQ(Cell(log, 3, 0), L"");

        Click(Widget<QPushButton>(w, ids::kSaveLogButton));
        ASSERT_EQ(boxes.ShownBoxes().size(), 1u);
        EXPECT_EQ(boxes.ShownBoxes()[0].text.toStdWString(), L"保存 20240304-071405-9.csv 成功");

        // The close box runs the close handler, which ends the dialog.
        w.Widget()->close();
        EXPECT_TRUE(w.Ended());
        walked = true;
    });
    ASSERT_TRUE(walked);

    EXPECT_EQ(runtime.FileContents(L"20240304-071405-9.csv"),
              "Line, Direct, Data(HEX), Data(String), Device, XU guid, \r\n"
              "1, SET CS=1, 12 34, .4, Kestrel UVC Camera, {B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}, \r\n"
              "2, GET CS=1, 12 34, \x12"
              "4, Kestrel UVC Camera, {B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}, \r\n");
    EXPECT_THAT(runtime.FileContents(kSettingsFile), HasSubstr("InuptMode=0"));
    EXPECT_TRUE(host.Running().empty());
}

TEST_F(QtHostTest, EscapeEndsWithoutSettingsAndEnterChangesNothing)
{
    RunProgram([&](QtDialogWindow& w) {
        auto* csEdit = Widget<QLineEdit>(w, ids::kCsEdit);
        PressKey(csEdit, Qt::Key_Return);
        EXPECT_FALSE(w.Ended());

        // The data edit takes Enter as a line break, read back as CR LF.
        auto* data = Widget<QPlainTextEdit>(w, ids::kDataEdit);
        data->moveCursor(QTextCursor::End);
        PressKey(data, Qt::Key_Return);
        EXPECT_FALSE(w.Ended());
        EXPECT_EQ(w.GetText(ids::kDataEdit), L"ABCD\r\n");

        // Escape in the multi-line edit ends the dialog all the same.
        PressKey(data, Qt::Key_Escape);
        EXPECT_TRUE(w.Ended());
        EXPECT_EQ(w.Result(), kIdCancel);
    });
    EXPECT_FALSE(runtime.HasFile(kSettingsFile));
}

TEST_F(QtHostTest, ControlsSitWhereTheTemplatePutsThem)
{
    RunProgram([&](QtDialogWindow& w) {
        EXPECT_GT(w.Units().x, 0);
        EXPECT_GT(w.Units().y, 0);
        const Rect client = DialogUnitsToPixels(w.Units(), 0, 0, 488, 475);
        EXPECT_EQ(w.Widget()->size(), QSize(client.Width(), client.Height()));
        EXPECT_EQ(w.ScrollArea(), nullptr);

        for (int id : {ids::kOpenButton, ids::kSetButton, ids::kDataEdit, ids::kLogList, ids::kCsEdit,
                       ids::kInfoEdit, ids::kSaveLogButton})
            EXPECT_EQ(Geometry(w.ControlWidget(id)), TemplateRect(w, id)) << "control " << id;

        // The picker's rectangle includes its dropped list: the field
        // itself starts there and is as wide, but only as high as its font.
        const Rect picker = Geometry(w.ControlWidget(ids::kPicker));
        const Rect pickerTemplate = TemplateRect(w, ids::kPicker);
        EXPECT_EQ(picker.left, pickerTemplate.left);
        EXPECT_EQ(picker.top, pickerTemplate.top);
        EXPECT_EQ(picker.Width(), pickerTemplate.Width());
        EXPECT_LT(picker.Height(), pickerTemplate.Height());

        EXPECT_TRUE(w.ControlWidget(ids::kHexReceiveCheck)->isHidden());
        EXPECT_TRUE(w.ControlWidget(ids::kManualGuidCheck)->isHidden());
        EXPECT_FALSE(w.ControlWidget(ids::kHexSendCheck)->isHidden());

        // The six columns, "Data(HEX)" as wide as the list less 280 pixels,
        // with their titles readable from the header.
        auto* log = Widget<QTableView>(w, ids::kLogList);
        const int widths[] = {50, 70, log->width() - 280, 150, 150, 250};
        const wchar_t* titles[] = {L"Line", L"Direct", L"Data(HEX)", L"Data(String)", L"Device", L"XU guid"};
        ASSERT_EQ(w.HeaderItemCount(ids::kLogList), 6);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(log->horizontalHeader()->sectionSize(i), widths[i]) << "column " << i;
            EXPECT_EQ(w.HeaderItemTitle(ids::kLogList, i, 258), titles[i]);
        }
        EXPECT_TRUE(log->showGrid());
        EXPECT_EQ(log->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(log->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_FALSE(log->model()->flags(log->model()->index(0, 0)) & Qt::ItemIsEditable);
    });
}

// The dialog's size on the host's font and the title bar the host allows
// for: the smallest screen area it fits into.
QSize FittingArea(QtDialogWindow& w)
{
    const int titleBar = w.Widget()->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, w.Widget());
    const Rect client = DialogUnitsToPixels(w.Units(), 0, 0, w.Template().cx, w.Template().cy);
    return QSize(client.Width(), client.Height() + titleBar);
}

TEST_F(QtHostTest, OnASmallScreenEveryControlScrollsIntoReachWhereTheTemplatePutsIt)
{
    // 1366 x 768 less a panel of 40 pixels.
    const QSize area(1366, 728);
    host.SetScreenArea(area);
    bool checked = false;
    RunProgram([&](QtDialogWindow& w) {
        QScrollArea* scroll = w.ScrollArea();
        ASSERT_NE(scroll, nullptr);
        const QSize fitting = FittingArea(w);
        ASSERT_GT(fitting.height(), area.height());
        const int clientHeight = DialogUnitsToPixels(w.Units(), 0, 0, 0, w.Template().cy).Height();
        const int titleBar = fitting.height() - clientHeight;
        // The window fits on the screen, title bar and all.
        EXPECT_LE(w.Widget()->width(), area.width());
        EXPECT_EQ(w.Widget()->height() + titleBar, area.height());
        // Only the height is too large: a vertical scroll bar, no other.
        EXPECT_EQ(scroll->verticalScrollBar()->maximum(), clientHeight - scroll->viewport()->height());
        EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);

        QWidget* viewport = scroll->viewport();
        for (const ControlTemplate& t : w.Template().controls) {
            QWidget* control = t.id == ids::kNoId ? nullptr : w.ControlWidget(t.id);
            if (!control)
                continue;
            // Where the template puts it, on the page.
            const Rect r = TemplateRect(w, t.id);
            EXPECT_EQ(control->pos(), QPoint(r.left, r.top)) << "control " << t.id;
            if (control->isHidden())
                continue;
            // Scrolled to, all of it is inside the visible part.
            scroll->ensureWidgetVisible(control, 0, 0);
            const QRect shown(control->mapTo(viewport, QPoint(0, 0)), control->size());
            EXPECT_TRUE(viewport->rect().contains(shown)) << "control " << t.id;
        }
        // Controls the dialog hides stay hidden; the others are shown.
        EXPECT_TRUE(w.ControlWidget(ids::kHexReceiveCheck)->isHidden());
        EXPECT_FALSE(w.ControlWidget(ids::kSaveLogButton)->isHidden());

        // The log's own horizontal scroll bar, the way to its last columns,
        // is in reach at the bottom.
        auto* log = Widget<QTableView>(w, ids::kLogList);
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        QScrollBar* columns = log->horizontalScrollBar();
        ASSERT_TRUE(columns->isVisible());
        const QRect bar(columns->mapTo(viewport, QPoint(0, 0)), columns->size());
        EXPECT_TRUE(viewport->rect().contains(bar));
        checked = true;
    });
    EXPECT_TRUE(checked);
}

TEST_F(QtHostTest, TheDialogScrollsOnlyWhenTheScreenIsSmallerThanIt)
{
    QSize fitting;
    RunProgram([&](QtDialogWindow& w) { fitting = FittingArea(w); });
    ASSERT_TRUE(fitting.isValid());

    // Exactly its size: the dialog as on any large screen.
    host.SetScreenArea(fitting);
    RunProgram([&](QtDialogWindow& w) {
        EXPECT_EQ(w.ScrollArea(), nullptr);
        EXPECT_EQ(w.ControlWidget(ids::kSetButton)->parentWidget(), w.Widget());
    });
    // A pixel too narrow: a horizontal scroll bar, the full height.
    host.SetScreenArea(QSize(fitting.width() - 1, fitting.height() + 100));
    RunProgram([&](QtDialogWindow& w) {
        ASSERT_NE(w.ScrollArea(), nullptr);
        EXPECT_EQ(w.Widget()->width(), fitting.width() - 1);
        EXPECT_GT(w.ScrollArea()->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(w.ScrollArea()->verticalScrollBar()->maximum(), 0);
    });
}

TEST(DialogUnits, RoundLikeMulDiv)
{
    const BaseUnits units{7, 17};
    // 374 * 7 / 4 = 654.5 and 14 * 17 / 8 = 29.75 round up; 47 * 7 / 4 =
    // 82.25 rounds down.
    EXPECT_EQ(DialogUnitsToPixels(units, 374, 14, 47, 21), (Rect{655, 30, 655 + 82, 30 + 45}));
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);  // halves go away from zero
    EXPECT_EQ(MulDiv(3, -1, 2), -2);
    EXPECT_EQ(MulDiv(5, 1, 0), -1);
}

TEST_F(QtHostTest, LinkIsBlueOpensItsTargetAndHoldsTheMouseWhileHovered)
{
    RunProgram([&](QtDialogWindow& w) {
        QWidget* link = w.ControlWidget(ids::kSiteLink);
        ASSERT_NE(link, nullptr);
        EXPECT_FALSE(link->isHidden());
        EXPECT_EQ(link->toolTip(), QStringLiteral("https://norvik-tools.example.org"));
        // Fitted to its text, from its left edge.
        const Size extent =
            w.TextExtent(ids::kSiteLink, w.GetFont(ids::kSiteLink), w.GetText(ids::kSiteLink));
        EXPECT_EQ(link->width(), extent.cx);
        EXPECT_EQ(link->geometry().left(), TemplateRect(w, ids::kSiteLink).left);

        // Painted in the link colour the control's window object asks for.
        const QImage image = link->grab().toImage();
        bool blue = false;
        for (int y = 0; y < image.height() && !blue; ++y)
            for (int x = 0; x < image.width() && !blue; ++x) {
                const QColor c = image.pixelColor(x, y);
                blue = c.blue() > 200 && c.red() < 60 && c.green() < 60;
            }
        EXPECT_TRUE(blue);

        MoveMouse(link, QPoint(2, 2));
        EXPECT_EQ(w.CaptureId(), ids::kSiteLink);
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        MoveMouse(link, QPoint(-5, -5));
        EXPECT_EQ(w.CaptureId(), -1);
        MoveMouse(link, QPoint(3, 3));
        EXPECT_EQ(w.CaptureId(), ids::kSiteLink);

        SendMouse(link, QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton, Qt::LeftButton);
        EXPECT_TRUE(runtime.ShellOpenTargets().empty());  // opened on release, not on press
        SendMouse(link, QEvent::MouseButtonRelease, QPoint(3, 3), Qt::LeftButton, Qt::NoButton);
        ASSERT_EQ(runtime.ShellOpenTargets().size(), 1u);
        EXPECT_EQ(runtime.ShellOpenTargets()[0], L"https://norvik-tools.example.org");
        w.PressEscape();
    });
}

TEST_F(QtHostTest, ContextMenuCarriesTheAboutEntryWhichOpensTheAboutBox)
{
    bool aboutShown = false;
    host.OnModal(ids::kAboutDialog, [&](QtDialogWindow& about) {
        aboutShown = true;
        EXPECT_EQ(about.Widget()->windowTitle().toStdWString(), L"关于 Norvik");
        EXPECT_EQ(about.Widget()->parentWidget(), host.Running().front()->Widget());
        EXPECT_THAT(about.GetText(ids::kVersionText), StartsWith(L"Version: "));
        EXPECT_EQ(about.ControlWidget(ids::kMailLink)->toolTip(),
                  QStringLiteral("mailto:support@norvik-tools.example.org"));
        // Enter presses the default OK button.
        PressKey(about.ControlWidget(1), Qt::Key_Return);
        EXPECT_TRUE(about.Ended());
        EXPECT_EQ(about.Result(), kIdOk);
    });
    RunProgram([&](QtDialogWindow& w) {
        std::unique_ptr<QMenu> menu = w.BuildSystemMenu();
        const QList<QAction*> actions = menu->actions();
        ASSERT_GE(actions.size(), 2);
        EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
        EXPECT_EQ(actions.back()->text().toStdWString(), L"关于 Norvik(&A)...");
        EXPECT_EQ(actions.back()->data().toUInt(), ids::kAboutCommand);

        w.SystemCommand(actions.back()->data().toUInt());
        EXPECT_TRUE(aboutShown);
        EXPECT_FALSE(w.Ended());
        w.PressEscape();
    });
    EXPECT_TRUE(aboutShown);
}

TEST_F(QtHostTest, RefusedInputGetsAWarningTitledWithTheProgramName)
{
    MessageBoxWatcher boxes;
    RunProgram([&](QtDialogWindow& w) {
        w.SetText(ids::kPicker, L"");
        Click(Widget<QPushButton>(w, ids::kOpenButton));
        w.PressEscape();
    });
    ASSERT_EQ(boxes.ShownBoxes().size(), 1u);
    EXPECT_EQ(boxes.ShownBoxes()[0].title, QStringLiteral("norvik"));
    EXPECT_EQ(boxes.ShownBoxes()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes.ShownBoxes()[0].text.toStdWString(),
              L"输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式");
}

// A dialog on template 102 without handlers of its own: it notes every
// command that reaches it, so the host's notifications can be checked.
class RecordingDialog : public CDialog {
public:
    explicit RecordingDialog(DialogHost& host) : CDialog(host, ids::kMainDialog, L"norvik") {}
    std::vector<std::pair<int, int>> commands;                  // control id, notification
    std::function<void(const std::pair<int, int>&)> onCommand;  // runs as each command arrives

protected:
    std::intptr_t DefaultProcessing(const Message& message) override
    {
        if (message.id == msg::kCommand) {
            commands.emplace_back(int(message.wParam & 0xFFFF), int((message.wParam >> 16) & 0xFFFF));
            if (onCommand)
                onCommand(commands.back());
        }
        return CDialog::DefaultProcessing(message);
    }
};

using Command = std::pair<int, int>;

TEST_F(QtHostTest, PickerKeepsInsertionOrderAndNotifiesOnlyWhatTheOperatorDoes)
{
    RecordingDialog dialog(host);
    host.OnModal(ids::kMainDialog, [&](QtDialogWindow& w) {
        auto* picker = Widget<QComboBox>(w, ids::kPicker);
        const int id = ids::kPicker;

        // An empty list does not open, but still closes.
        picker->showPopup();
        EXPECT_EQ(dialog.commands,
                  (std::vector<Command>{{id, notify::kComboDropDown}, {id, notify::kComboCloseUp}}));
        dialog.commands.clear();

        // Programmatic changes notify nothing; inserting selects nothing.
        w.SetText(id, L"typed");
        EXPECT_EQ(w.ComboInsertItem(id, 0, L"second"), 0);
        EXPECT_EQ(w.ComboInsertItem(id, 0, L"first"), 0);
        EXPECT_EQ(w.ComboInsertItem(id, 99, L"third"), 2);
        w.ComboSetItemData(id, 0, 0x0100);
        w.ComboSetItemData(id, 2, 0xFFFF0102u);
        EXPECT_EQ(w.ComboCurSel(id), -1);
        EXPECT_EQ(w.GetText(id), L"typed");
        EXPECT_EQ(w.ComboItemText(id, 1), L"second");
        EXPECT_EQ(w.ComboItemData(id, 0), 0x0100u);
        EXPECT_EQ(w.ComboItemData(id, 2), 0xFFFF0102u);
        EXPECT_EQ(w.ComboItemData(id, 3), 0xFFFFFFFFu);

        w.ComboSetCurSel(id, 1);
        EXPECT_EQ(w.GetText(id), L"second");
        w.ComboSetCurSel(id, -1);  // as CB_SETCURSEL -1: no selection, empty edit field
        EXPECT_EQ(w.ComboCurSel(id), -1);
        EXPECT_EQ(w.GetText(id), L"");
        EXPECT_TRUE(dialog.commands.empty());

        // Typing notifies at every key.
        TypeText(picker->lineEdit(), QStringLiteral("ab"));
        EXPECT_EQ(dialog.commands,
                  (std::vector<Command>{{id, notify::kComboEditChange}, {id, notify::kComboEditChange}}));
        dialog.commands.clear();

        // Choosing from the open list: drop-down, the choice, then the
        // closing, which already sees the chosen item.
        int selectionAtCloseUp = -2;
        dialog.onCommand = [&](const Command& c) {
            if (c == Command{id, notify::kComboCloseUp})
                selectionAtCloseUp = w.ComboCurSel(id);
        };
        picker->showPopup();
        picker->view()->setCurrentIndex(picker->model()->index(2, 0));
        PressKey(picker->view(), Qt::Key_Return);
        EXPECT_EQ(dialog.commands, (std::vector<Command>{{id, notify::kComboDropDown},
                                                         {id, notify::kComboSelChange},
                                                         {id, notify::kComboCloseUp}}));
        EXPECT_EQ(selectionAtCloseUp, 2);
        dialog.onCommand = nullptr;
        EXPECT_EQ(w.ComboCurSel(id), 2);
        EXPECT_EQ(w.GetText(id), L"third");

        // Closing the list with Escape is no choice and does not end the
        // dialog.
        dialog.commands.clear();
        picker->showPopup();
        PressKey(picker->view(), Qt::Key_Escape);
        EXPECT_EQ(dialog.commands,
                  (std::vector<Command>{{id, notify::kComboDropDown}, {id, notify::kComboCloseUp}}));
        EXPECT_FALSE(w.Ended());

        // A click elsewhere closes the list without hidePopup(): its window
        // just goes away.
        dialog.commands.clear();
        picker->showPopup();
        picker->view()->window()->hide();
        EXPECT_EQ(dialog.commands,
                  (std::vector<Command>{{id, notify::kComboDropDown}, {id, notify::kComboCloseUp}}));

        w.ComboReset(id);
        EXPECT_EQ(w.ComboCount(id), 0);
        EXPECT_EQ(w.GetText(id), L"");

        // Buttons and check boxes report clicks; a check box toggles first.
        dialog.commands.clear();
        Click(w.ControlWidget(ids::kOpenButton));
        Click(w.ControlWidget(ids::kHexSendCheck));
        EXPECT_EQ(dialog.commands, (std::vector<Command>{{ids::kOpenButton, notify::kButtonClicked},
                                                         {ids::kHexSendCheck, notify::kButtonClicked}}));
        EXPECT_EQ(w.GetCheck(ids::kHexSendCheck), 1);
    });
    EXPECT_EQ(dialog.DoModal(), kIdCancel);
}

TEST_F(QtHostTest, CtrlBreakCancelsLikeEscapeButOtherControlKeysDoNot)
{
    RecordingDialog dialog(host);
    host.OnModal(ids::kMainDialog, [&](QtDialogWindow& w) {
        QWidget* data = w.ControlWidget(ids::kDataEdit);
        QKeyEvent ctrlReturn(QEvent::KeyPress, Qt::Key_Return, Qt::ControlModifier);
        QApplication::sendEvent(data, &ctrlReturn);
        EXPECT_FALSE(w.Ended());
        QKeyEvent ctrlBreak(QEvent::KeyPress, Qt::Key_Pause, Qt::ControlModifier);
        QApplication::sendEvent(data, &ctrlBreak);
        EXPECT_TRUE(w.Ended());
    });
    EXPECT_EQ(dialog.DoModal(), kIdCancel);
    EXPECT_EQ(dialog.commands, (std::vector<Command>{{kIdCancel, 0}}));
}

TEST_F(QtHostTest, LogRowsReadBackAsWrittenAndRedrawCanBeSuspended)
{
    RecordingDialog dialog(host);
    host.OnModal(ids::kMainDialog, [&](QtDialogWindow& w) {
        const int id = ids::kLogList;
        auto* view = Widget<QTableView>(w, id);
        w.ListInsertColumn(id, 0, L"B", 40);
        w.ListInsertColumn(id, 0, L"A", 30);
        EXPECT_EQ(w.HeaderItemTitle(id, 0, 258), L"A");
        EXPECT_EQ(w.HeaderItemTitle(id, 1, 1), L"B");
        EXPECT_EQ(view->horizontalHeader()->sectionSize(1), 40);

        EXPECT_EQ(w.ListInsertItem(id, 0, L"x"), 0);
        EXPECT_EQ(w.ListInsertItem(id, 7, L"z"), 1);  // past the end: appended
        EXPECT_EQ(w.ListInsertItem(id, 1, L"y"), 1);
        w.ListSetItemText(id, 1, 1, L"逗号, \"引号\"\r\n");
        w.ListSetItemText(id, 1, 2, L"no such column");
        EXPECT_EQ(w.ListItemCount(id), 3);
        EXPECT_EQ(w.ListItemText(id, 0, 0), L"x");
        EXPECT_EQ(w.ListItemText(id, 1, 0), L"y");
        EXPECT_EQ(w.ListItemText(id, 1, 1), L"逗号, \"引号\"\r\n");
        EXPECT_EQ(w.ListItemText(id, 1, 2), L"");
        EXPECT_EQ(w.ListItemText(id, 2, 0), L"z");

        w.ListSetExtendedStyle(id, 0, 0x21);
        EXPECT_TRUE(view->showGrid());
        EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
        w.ListSetExtendedStyle(id, 0x1, 0);  // only the grid bit changes
        EXPECT_FALSE(view->showGrid());
        EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);

        w.SetRedraw(id, false);
        EXPECT_FALSE(view->updatesEnabled());
        w.SetRedraw(id, true);
        EXPECT_TRUE(view->updatesEnabled());

        for (int i = 0; i < 200; ++i)
            w.ListInsertItem(id, w.ListItemCount(id), L"row");
        w.ScrollToBottom(id);
        QCoreApplication::processEvents();  // the scroll happens once the handler is done
        EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
        EXPECT_GT(view->verticalScrollBar()->maximum(), 0);

        w.ListDeleteAllItems(id);
        EXPECT_EQ(w.ListItemCount(id), 0);
        EXPECT_EQ(w.HeaderItemCount(id), 2);
    });
    dialog.DoModal();
}

}  // namespace
}  // namespace norvik::test
