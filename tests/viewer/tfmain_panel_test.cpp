// The window around the picture: panel placement and hiding, pointer
// dragging, wheel, double-click, timer and the popup menu.
#include "tfmain_fixture.h"

#include "viewer/panel_button.h"

#include <QAction>
#include <QCursor>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

namespace {

class PanelTest : public TfmainFixture {
protected:
  void SetUp() override { big = Image("big.png"); }
  void OpenLarge() {
    ASSERT_TRUE(testimg::Save(testimg::Solid24(2000, 1500, 0x336699), FIF_PNG, big));
    Open(big);
  }
  void Move(int x, int y, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), window->mapToGlobal(QPointF(x, y)), Qt::NoButton, buttons,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &e);
  }
  void Mouse(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(x, y), window->mapToGlobal(QPointF(x, y)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &e);
  }
  void Wheel(int delta) {
    QWheelEvent e(QPointF(50, 50), window->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window.get(), &e);
  }
  QString big;
};

TEST_F(PanelTest, PanelRowIsCentredAsOneBlockAtTheBottom) {
  Open(big);
  window->resize(1200, 700);
  window->SetControlsPosOnPanel();
  EXPECT_EQ(window->Bevel()->width(), 621);  // design values at 120 pixels per inch
  EXPECT_EQ(window->PanelButton("btnFullscreen")->pos(), QPoint(299, 700 - 49 + 13));
  EXPECT_EQ(window->PanelButton("btnNext")->pos(), QPoint(289 + 313, 700 - 49 + 5));
  EXPECT_EQ(window->PanelButton("btnNext")->size(), QSize(55, 40));

  window->resize(600, 400);  // narrower than the row: -21 / 2 is -10
  window->SetControlsPosOnPanel();
  EXPECT_EQ(window->PanelButton("btnFullscreen")->x(), 0);
  EXPECT_EQ(window->PanelButton("btnPrevious")->x(), -10 + 255);
}

TEST_F(PanelTest, LayoutScalesWithTheScreenResolution) {
  Open(big, 96);
  EXPECT_EQ(window->Scaled(621), 497);
  EXPECT_EQ(window->Bevel()->height(), 39);
  EXPECT_EQ(window->PanelButton("btnClose")->Tag, (463 << 16) | 10);  // 579 and 13 at 0.8
}

TEST_F(PanelTest, ButtonsCarryGlyphsHintsAndNeverTakeTheFocus) {
  Open(big);
  const auto& buttons = window->PanelButtons();
  ASSERT_EQ(buttons.size(), 12u);
  EXPECT_EQ(window->PanelButton("btnNext")->text(), QString(QChar(0xF054)));
  EXPECT_EQ(window->PanelButton("btnNext")->Hint(), "Next  (Hotkey: Space)");
  EXPECT_EQ(window->PanelButton("btnMenu")->Hint(), "Menu");
  for (TPanelButton* b : buttons) {
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->objectName().toStdString();
    EXPECT_EQ(b->toolTip().isEmpty(), b->objectName() != "btnFitToScreen") << b->objectName().toStdString();
  }
  // The hint follows the action when the hotkeys are bound again.
  window->Action("AcNext")->SetHint("Next  (Hotkey: N)");
  EXPECT_EQ(window->PanelButton("btnNext")->Hint(), "Next  (Hotkey: N)");
  // Buttons run their actions.
  window->OriginalSize();
  window->PanelButton("btnFitToScreen")->click();
  EXPECT_TRUE(state.View.bZoomToFit);
}

TEST_F(PanelTest, TheMenuButtonJoinsThePanelAtTheFirstLoad) {
  Open(big);
  EXPECT_TRUE(window->PanelShowing());
  EXPECT_FALSE(window->PanelButton("btnMenu")->isHidden());
}

TEST_F(PanelTest, MovementShowsThePanelAndTenQuietTicksOutsideTheStripHideIt) {
  Open(big);
  QCursor::setPos(window->mapToGlobal(QPoint(400, 100)));
  window->HideControlsOnPanel();
  Move(400, 100);
  Move(401, 100);  // one pixel is enough
  EXPECT_TRUE(window->PanelShowing());
  for (int tick = 1; tick < 10; ++tick) {
    window->Timer1Timer();
    EXPECT_TRUE(window->PanelShowing()) << "tick " << tick;
  }
  window->Timer1Timer();
  EXPECT_FALSE(window->PanelShowing());
}

TEST_F(PanelTest, ThePointerRestingInTheBottomStripKeepsThePanel) {
  Open(big);
  const int stripY = 600 - 49;
  QCursor::setPos(window->mapToGlobal(QPoint(10, stripY)));
  Move(10, stripY);
  for (int tick = 0; tick < 30; ++tick) window->Timer1Timer();
  EXPECT_TRUE(window->PanelShowing());
  QCursor::setPos(window->mapToGlobal(QPoint(10, stripY - 1)));  // just above it
  window->Timer1Timer();
  EXPECT_FALSE(window->PanelShowing());
}

TEST_F(PanelTest, DraggingMovesALargePictureByThePointersDisplacement) {
  OpenLarge();
  window->OriginalSize();
  Mouse(QEvent::MouseButtonPress, 300, 300, Qt::LeftButton, Qt::LeftButton);
  Move(350, 280, Qt::LeftButton);
  EXPECT_EQ(state.View.iOffsetX, 50);
  EXPECT_EQ(state.View.iOffsetY, -20);
  Move(290, 310, Qt::LeftButton);
  EXPECT_EQ(state.View.iOffsetX, -10);
  EXPECT_EQ(state.View.iOffsetY, 10);
  Mouse(QEvent::MouseButtonRelease, 290, 310, Qt::LeftButton, Qt::NoButton);
  Move(100, 100);  // no button: no drag
  EXPECT_EQ(state.View.iOffsetX, -10);
}

TEST_F(PanelTest, APictureThatFitsCannotBeDragged) {
  Open(Image("small.png"));
  window->OriginalSize();
  Mouse(QEvent::MouseButtonPress, 300, 300, Qt::LeftButton, Qt::LeftButton);
  Move(350, 280, Qt::LeftButton);
  EXPECT_EQ(state.View.iOffsetX, 0);
  EXPECT_EQ(state.View.iOffsetY, 0);
}

TEST_F(PanelTest, EachWheelNotchRunsOneZoomStep) {
  OpenLarge();
  Wheel(360);  // three notches away from the user
  EXPECT_FLOAT_EQ(state.View.fZoom, 1.6f);
  Wheel(60);  // half a notch does nothing yet
  EXPECT_FLOAT_EQ(state.View.fZoom, 1.6f);
  Wheel(60);
  EXPECT_FLOAT_EQ(state.View.fZoom, 1.8f);
  Wheel(-240);
  EXPECT_FLOAT_EQ(state.View.fZoom, 1.4f);
}

TEST_F(PanelTest, ADoubleClickTogglesFullScreenOnceOnTheSecondRelease) {
  Open(big);
  const bool before = state.bFullScreen;
  Mouse(QEvent::MouseButtonPress, 50, 50, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, 50, 50, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(state.bFullScreen, before);  // a single click never toggles
  Mouse(QEvent::MouseButtonDblClick, 50, 50, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(state.bFullScreen, before);
  Mouse(QEvent::MouseButtonRelease, 50, 50, Qt::LeftButton, Qt::NoButton);
  EXPECT_NE(state.bFullScreen, before);
  Mouse(QEvent::MouseButtonRelease, 50, 50, Qt::LeftButton, Qt::NoButton);
  EXPECT_NE(state.bFullScreen, before);
}

TEST_F(PanelTest, TheFirstTickAfterShowingActivatesTheWindowOnce) {
  Open(big);
  EXPECT_EQ(window->Tag(), 0);
  window->Timer1Timer();
  EXPECT_EQ(window->Tag(), 1);
}

TEST_F(PanelTest, HoveringAButtonShowsItsHintAboveThePanel) {
  Open(big);
  window->FormPaint();
  const QImage before = window->Frame();
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(window->PanelButton("btnNext"), &enter);
  EXPECT_EQ(window->CurrentHint(), "Next  (Hotkey: Space)");
  window->FormPaint();
  const int y = 600 - 49 - 20;
  EXPECT_NE(window->Frame().copy(0, y, 800, 20), before.copy(0, y, 800, 20));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(window->PanelButton("btnNext"), &leave);
  EXPECT_TRUE(window->CurrentHint().isEmpty());
}

QStringList Entries(const QMenu* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return texts;
}

TEST_F(PanelTest, PopupMenuHoldsEveryEntryInOrderWithShortcuts) {
  Open(big);
  const QMenu* pm = window->PopupMenu();
  EXPECT_EQ(Entries(pm), QStringList({"Toggle fullscreen\tEnter", "Original size\tNum /", "Fit to screen\tNum *",
                                      "Edit", "Delete\tDel", "Save as...\tCtrl+W", "File info\tN", "Sort by...",
                                      "Misc...", "Options\tCtrl+O", "Help", "About", "-", "Quit\tEsc"}));
  const QMenu* edit = pm->actions()[3]->menu();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(Entries(edit),
            QStringList({"Rotate right\tF7", "Rotate left\tF6", "-", "Resize to", "Gamma/Brightness/Contrast",
                         "Convert To Gray Scale\tG", "Flip horizontal\tF", "Flip vertical\tShift+F", "Save\tCtrl+S"}));
  const QMenu* resize = edit->actions()[3]->menu();
  EXPECT_EQ(resize->actions()[0], window->ResInfoItem());
  EXPECT_EQ(resize->actions().size(), 6);
  EXPECT_EQ(edit->actions()[4]->menu()->actions().size(), 9);
  const QMenu* sort = pm->actions()[7]->menu();
  EXPECT_EQ(Entries(sort),
            QStringList({"Name\tCtrl+1", "Date\tCtrl+2", "Size\tCtrl+3", "-", "Toggle direction\tCtrl+R"}));
  EXPECT_EQ(sort->actions()[0]->objectName(), "PM_SortByName");
  const QMenu* misc = pm->actions()[8]->menu();
  EXPECT_EQ(Entries(misc),
            QStringList({"Set as wallpaper\tShift+W", "Save as favicon (32x32)", "Copy file path to clipboard\tCtrl+C",
                         "First\tHome", "Last\tEnd", "Zoom in\tNum +", "Zoom out\tNum -", "Shell Integration"}));
}

TEST_F(PanelTest, SortRadioItemsFollowTheStoredKey) {
  DefaultSettings(state.Settings);  // date, from the factory
  state.sCurrentFile = big;
  Tfmain byDate(state, nullptr, 120);
  EXPECT_TRUE(byDate.MenuItem("AcSortByDate")->isChecked());
  EXPECT_FALSE(byDate.MenuItem("AcSortByName")->isChecked());
  state.Settings.SortType = 5;  // unknown: the layout's "Name" stays checked
  Tfmain unknown(state, nullptr, 120);
  EXPECT_TRUE(unknown.MenuItem("AcSortByName")->isChecked());
}

TEST_F(PanelTest, OnlyTheCustomSizeWithoutItsDialogIsDisabledInTheMenu) {
  Open(big);
  EXPECT_FALSE(window->MenuItem("acResizeToCustom")->isEnabled());
  for (const char* name : {"AcDelete", "AcRotateLeft", "acSave", "AcSaveAs", "AcGammaIncrease", "acResizeTo1080",
                           "acConvertToGrayScale", "acReloadOriginal"})
    EXPECT_TRUE(window->MenuItem(name)->isEnabled()) << name;
}

TEST_F(PanelTest, MenuHotkeyOpensTheMenuHalfwayAcrossAndAHundredPixelsDown) {
  Open(big);
  window->move(40, 30);
  QTest::keyClick(window.get(), Qt::Key_M);
  EXPECT_EQ(window->LastPopupPoint(), QPoint(window->x() + 400, window->y() + 100));
  EXPECT_TRUE(window->PopupMenu()->isVisible());
  window->PopupMenu()->hide();

  window->PanelButton("btnMenu")->click();
  EXPECT_EQ(window->LastPopupPoint(), window->PanelButton("btnMenu")->mapToGlobal(QPoint(0, 0)));
  window->PopupMenu()->hide();
}

}  // namespace
