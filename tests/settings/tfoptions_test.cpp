// The options dialog through its real widgets, opened from a real main
// window, committing to a private settings store.
#include "settings/tfoptions.h"

#include "platform/application_title.h"
#include "platform/modal_dialog.h"
#include "settings/settings_store.h"
#include "viewer/options_target.h"
#include "viewer/panel_button.h"
#include "viewer/tfmain_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

constexpr int HotkeyCol = 1;

thotkey Hotkey(int modifiers, int key) {
  return thotkey{QString(), static_cast<std::uint16_t>(modifiers), static_cast<std::uint16_t>(key)};
}
constexpr int RowPrevious = 2, RowFirst = 3, RowLast = 4, RowOptions = 19;

class OptionsTest : public TfmainFixture {
protected:
  void SetUp() override {
    FSavedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", FConfig.Path().toLocal8Bit());
    a = Image("a.png");
    b = Image("b.png");
    c = Image("c.png");
  }
  void TearDown() override {
    ModalDialogHook() = TModalDialogHook{};
    qputenv("XDG_CONFIG_HOME", FSavedConfigHome);
    TfmainFixture::TearDown();
  }

  // The main window on path with the dialog created after it, as at start-up.
  void Start(const QString& path) {
    Open(path);
    target = std::make_unique<TfmainOptionsTarget>(*window);
    dialog = std::make_unique<TfOptions>(state.Settings, *target, window.get(), 96);
    window->ShowOptions = [this] { dialog->ShowModal(); };
  }

  // Ctrl+O on the main window; work drives the modal dialog.
  void WithDialog(const std::function<void(TfOptions&)>& work) {
    int shown = 0;
    ModalDialogHook() = [&](QDialog& d) {
      ++shown;
      ASSERT_EQ(&d, dialog.get());
      ASSERT_TRUE(d.isVisible());
      work(*dialog);
    };
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    ModalDialogHook() = TModalDialogHook{};
    ASSERT_EQ(shown, 1) << "Ctrl+O did not open the dialog";
  }

  static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  static void ClickRow(TfOptions& d, int row) {
    const QRect cell = d.lv->visualItemRect(d.lv->item(row, HotkeyCol));
    QTest::mouseClick(d.lv->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  }
  static QString Cell(TfOptions& d, int row) { return d.lv->item(row, HotkeyCol)->text(); }
  static int SelectedRow(TfOptions& d) {
    const auto selected = d.lv->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->row();
  }
  static TSettings Stored() {
    TSettings s;
    EXPECT_TRUE(LoadSettings(s)) << "nothing was saved";
    return s;
  }

  TempFolder FConfig;
  QByteArray FSavedConfigHome;
  QString a, b, c;
  std::unique_ptr<TfmainOptionsTarget> target;
  std::unique_ptr<TfOptions> dialog;
};

TEST_F(OptionsTest, LayoutFollowsTheDesignScaledToTheScreen) {
  Start(a);
  TfOptions& d = *dialog;
  EXPECT_EQ(d.windowTitle(), "Options");
  EXPECT_EQ(d.size(), QSize(621, 429));
  EXPECT_EQ(d.btnOk->geometry(), QRect(395, 399, 100, 25));
  EXPECT_EQ(d.btnCancel->geometry(), QRect(509, 399, 100, 25));
  EXPECT_EQ(d.btnDefaults->geometry(), QRect(8, 399, 122, 25));
  EXPECT_EQ(d.GroupBox5->geometry(), QRect(295, 18, 321, 375));
  EXPECT_EQ(d.lv->parentWidget(), d.GroupBox5);
  EXPECT_EQ(d.lv->geometry(), QRect(7, 18, 306, 351));
  EXPECT_EQ(d.chExifRotation->geometry(), QRect(19, 58, 262, 34));
  EXPECT_EQ(d.btnFileAssociations->parentWidget(), d.GroupBox4);
  EXPECT_EQ(d.btnFileAssociations->text(), "File Associations");
  EXPECT_EQ(d.chExifRotation->text(), "Load and rotate according to Exif 'Orientation' tag if available");
  EXPECT_EQ(d.GroupBox6->title(), "Resize filter (affects downscaling/upscaling quality)");

  EXPECT_TRUE(d.GroupBox1->isHidden());
  EXPECT_EQ(d.chChangeWindowSizeToFitImage->parentWidget(), d.GroupBox1);
  EXPECT_FALSE(d.chHideMouseCursor->isEnabled());
  EXPECT_FALSE(d.btnOk->isDefault() || d.btnOk->autoDefault());
  // The wrapped caption's second line toggles its box like the first.
  const bool exif = d.chExifRotation->isChecked();
  QTest::mouseClick(d.chExifRotation, Qt::LeftButton, Qt::NoModifier, QPoint(120, 28));
  EXPECT_NE(d.chExifRotation->isChecked(), exif);

  QStringList filters;
  for (int i = 0; i < d.cbResizeFilter->count(); ++i) filters << d.cbResizeFilter->itemText(i);
  EXPECT_EQ(filters,
            QStringList({"Box, pulse, Fourier window, 1st order (constant) b-spline",
                         "Mitchell & Netravali's two-param cubic filter", "Bilinear filter",
                         "4th order (cubic) b-spline", "Catmull-Rom spline, Overhauser spline", "Lanczos3 filter"}));
  EXPECT_FALSE(d.cbResizeFilter->isEditable());

  EXPECT_EQ(d.lv->horizontalHeaderItem(0)->text(), "Function");
  EXPECT_EQ(d.lv->horizontalHeaderItem(1)->text(), "Hotkey");
  EXPECT_EQ(d.lv->columnWidth(0), 120);
  EXPECT_EQ(d.lv->columnWidth(1), 150);
  EXPECT_TRUE(d.lv->showGrid());
  EXPECT_EQ(d.lv->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(d.lv->editTriggers(), QAbstractItemView::NoEditTriggers);
  d.ReflectSettings();
  ASSERT_EQ(d.lv->rowCount(), HotkeyCount);
  EXPECT_EQ(d.lv->item(13, 0)->text(), "File Info");
  EXPECT_EQ(Cell(d, 6), "Num /");
  EXPECT_FALSE(d.lv->item(0, HotkeyCol)->flags() & Qt::ItemIsEditable);

  TfOptions large(state.Settings, *target, window.get(), 192);
  EXPECT_EQ(large.size(), QSize(1242, 858));
  EXPECT_EQ(large.btnOk->geometry(), QRect(790, 798, 200, 50));
  EXPECT_EQ(large.lv->columnWidth(1), 300);
}

TEST_F(OptionsTest, MenuEntryAndPanelButtonOpenTheDialog) {
  Start(a);
  EXPECT_TRUE(window->MenuItem("AcOptions")->isEnabled());
  EXPECT_EQ(window->MenuItem("AcOptions")->text(), "Options\tCtrl+O");
  int shown = 0;
  ModalDialogHook() = [&](QDialog& d) {
    ++shown;
    d.reject();
  };
  window->MenuItem("AcOptions")->trigger();
  TPanelButton* button = window->PanelButton("btnOptions");
  ASSERT_TRUE(button->isEnabled());
  Click(button);
  EXPECT_EQ(shown, 2);
}

TEST_F(OptionsTest, OkWithoutEditsKeepsEveryHotkeyRebindsAndSaves) {
  Start(a);
  // Rows whose texts are easy to get wrong: keypad "/" with a modifier,
  // punctuation that is also a text separator, the highest function key.
  state.Settings.HotKeys[5] = Hotkey(ssShift, VK_DIVIDE);
  state.Settings.HotKeys[13] = Hotkey(ssCtrl, VK_OEM_PLUS);
  state.Settings.HotKeys[27] = Hotkey(ssAlt | ssShift, VK_OEM_MINUS);
  state.Settings.HotKeys[28] = Hotkey(0, VK_OEM_PERIOD);
  state.Settings.HotKeys[29] = Hotkey(ssCtrl, VK_F1 + 23);
  const TSettings before = state.Settings;
  window->Action("AcNext")->SetShortCut(0);  // OK binds again whatever the actions hold

  WithDialog([&](TfOptions& d) {
    EXPECT_EQ(Cell(d, 5), "Shift+Num /");
    Click(d.btnOk);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
  });
  const TSettings stored = Stored();
  for (int row = 0; row < HotkeyCount; ++row) {
    EXPECT_EQ(state.Settings.HotKeys[row].Key, before.HotKeys[row].Key) << row;
    EXPECT_EQ(state.Settings.HotKeys[row].modifiers, before.HotKeys[row].modifiers) << row;
    EXPECT_EQ(stored.HotKeys[row].Key, before.HotKeys[row].Key) << row;
    EXPECT_EQ(stored.HotKeys[row].modifiers, before.HotKeys[row].modifiers) << row;
  }
  EXPECT_EQ(window->Action("AcNext")->ShortCut(), ShortCut(VK_SPACE, 0));
  EXPECT_EQ(window->Action("AcFileInfo")->Hint(), "File info  (Hotkey: Ctrl+=)");
}

TEST_F(OptionsTest, FullScreenBoxShowsThePreferenceAndOkRestoresFullScreen) {
  Start(a);  // windowed, as after "/windowed" or leaving full screen with Enter
  ASSERT_TRUE(state.Settings.FullScreen);
  ASSERT_FALSE(state.bFullScreen);
  WithDialog([&](TfOptions& d) {
    EXPECT_TRUE(d.chFullScreen->isChecked());
    Click(d.btnOk);
  });
  EXPECT_TRUE(state.bFullScreen);
  EXPECT_TRUE(window->isFullScreen());

  // The preference and the window agree: OK leaves the window alone.
  WithDialog([&](TfOptions& d) { Click(d.btnOk); });
  EXPECT_TRUE(window->isFullScreen());

  WithDialog([&](TfOptions& d) {
    d.chFullScreen->setChecked(false);
    Click(d.btnOk);
  });
  EXPECT_FALSE(state.bFullScreen);
  EXPECT_FALSE(state.Settings.FullScreen);
  EXPECT_FALSE(Stored().FullScreen);
}

TEST_F(OptionsTest, DefaultsThenOkResetsEveryEditedFieldButKeepsSortFirstRunAndVersion) {
  Start(a);
  TSettings& s = state.Settings;
  s.FullScreen = s.ShrinkToFit = s.ZoomToFit = s.HideMouseCursor = s.ChangeWindowSizeToFitImage = false;
  s.AutoSaveAfterResize = s.AlwaysShowFilename = true;
  s.ExifRotation = false;
  s.ResizeFilter = 4;
  for (thotkey& row : s.HotKeys) row = Hotkey(ssCtrl | ssAlt, VK_F1 + 8);
  s.SortType = SortBySize;
  s.SortReversed = true;
  s.FirstRun = false;
  s.dwVersion = 0x01060000;

  WithDialog([&](TfOptions& d) {
    EXPECT_EQ(Cell(d, 0), "Ctrl+Alt+F9");
    Click(d.btnDefaults);
    // Shown, not applied: the record is as it was until OK.
    EXPECT_EQ(s.HotKeys[0].Key, VK_F1 + 8);
    EXPECT_FALSE(s.ZoomToFit);
    EXPECT_TRUE(d.chZoomToFit->isChecked());
    EXPECT_TRUE(d.chExifRotation->isChecked());
    EXPECT_EQ(d.cbResizeFilter->currentIndex(), 0);
    EXPECT_EQ(Cell(d, 0), "Enter");
    Click(d.btnOk);
  });

  TSettings factory;
  DefaultSettings(factory);
  for (const TSettings& r : {state.Settings, Stored()}) {
    EXPECT_TRUE(r.FullScreen && r.ShrinkToFit && r.ZoomToFit && r.HideMouseCursor && r.ChangeWindowSizeToFitImage);
    EXPECT_FALSE(r.AutoSaveAfterResize || r.AlwaysShowFilename);
    EXPECT_TRUE(r.ExifRotation);
    EXPECT_EQ(r.ResizeFilter, 0);
    for (int row = 0; row < HotkeyCount; ++row) {
      EXPECT_EQ(r.HotKeys[row].Key, factory.HotKeys[row].Key) << row;
      EXPECT_EQ(r.HotKeys[row].modifiers, factory.HotKeys[row].modifiers) << row;
    }
    EXPECT_EQ(r.SortType, SortBySize);
    EXPECT_TRUE(r.SortReversed);
    EXPECT_FALSE(r.FirstRun);
    EXPECT_EQ(r.dwVersion, 0x01060000u);
  }
}

TEST_F(OptionsTest, AFilterOutsideTheListShowsNoneStoresMinusOneAndKeepsAnEarlierChoiceShown) {
  Start(a);
  state.Settings.ResizeFilter = 9;
  WithDialog([&](TfOptions& d) {
    EXPECT_EQ(d.cbResizeFilter->currentIndex(), -1);
    Click(d.btnOk);
  });
  EXPECT_EQ(state.Settings.ResizeFilter, -1);
  EXPECT_EQ(Stored().ResizeFilter, -1);

  state.Settings.ResizeFilter = 2;
  WithDialog([&](TfOptions& d) { Click(d.btnCancel); });
  state.Settings.ResizeFilter = 9;
  WithDialog([&](TfOptions& d) {
    EXPECT_EQ(d.cbResizeFilter->currentIndex(), 2);  // the one control state that carries over
    Click(d.btnCancel);
  });
}

TEST_F(OptionsTest, ACapturedKeyReplacesTheCellAndTheListStillMovesOnIt) {
  Start(a);
  WithDialog([&](TfOptions& d) {
    ClickRow(d, RowFirst);
    ASSERT_EQ(SelectedRow(d), RowFirst);
    QTest::keyClick(d.lv, Qt::Key_Down);
    EXPECT_EQ(Cell(d, RowFirst), "Down");
    EXPECT_EQ(SelectedRow(d), RowLast);
    EXPECT_EQ(Cell(d, RowLast), "End");

    QTest::keyClick(d.lv, Qt::Key_Slash, Qt::KeypadModifier | Qt::ShiftModifier);
    EXPECT_EQ(Cell(d, RowLast), "Shift+Num /");
    QTest::keyClick(d.lv, Qt::Key_Return);  // Enter is a key like any other, not OK
    EXPECT_EQ(Cell(d, RowLast), "Enter");
    EXPECT_TRUE(d.isVisible());
    Click(d.btnOk);
  });
  EXPECT_EQ(state.Settings.HotKeys[RowFirst].Key, VK_DOWN);
  EXPECT_EQ(state.Settings.HotKeys[RowLast].Key, VK_RETURN);
  EXPECT_EQ(state.Settings.HotKeys[RowLast].modifiers, 0);
}

TEST_F(OptionsTest, KeysThatFormNoHotkeyOrReachNoSelectedRowChangeNothing) {
  Start(a);
  WithDialog([&](TfOptions& d) {
    const TOptionsForm before = d.Form();
    QTest::keyClick(d.lv, Qt::Key_F9);  // no row selected yet
    EXPECT_EQ(d.Form().HotkeyTexts, before.HotkeyTexts);

    // A modifier alone, or a key with AltGr held: the main window forms no
    // shortcut from either, so the cell keeps what it had.
    ClickRow(d, 5);
    QTest::keyClick(d.lv, Qt::Key_Shift, Qt::ShiftModifier);
    QTest::keyClick(d.lv, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyClick(d.lv, Qt::Key_Alt, Qt::AltModifier);
    QKeyEvent altGr(QEvent::KeyPress, Qt::Key_AltGr, Qt::GroupSwitchModifier);  // QTest has no text for it
    QApplication::sendEvent(d.lv, &altGr);
    EXPECT_EQ(SelectedRow(d), 5);
    QTest::keyClick(d.lv, Qt::Key_Q, Qt::GroupSwitchModifier);
    EXPECT_EQ(Cell(d, 5), "Num *");
    // Tab moves the focus on and is not captured.
    ClickRow(d, 5);
    QTest::keyClick(d.lv, Qt::Key_Tab);
    EXPECT_EQ(Cell(d, 5), "Num *");
    Click(d.btnOk);
  });
  EXPECT_EQ(state.Settings.HotKeys[5].Key, VK_MULTIPLY);
}

// Tab and Shift+Tab move the focus on; with Ctrl they are hotkeys the main
// window runs, so the list captures them.
TEST_F(OptionsTest, CtrlTabAndCtrlShiftTabAreCapturedAndRunTheirCommands) {
  Start(a);
  ASSERT_EQ(Shown(), "a.png");
  WithDialog([&](TfOptions& d) {
    ClickRow(d, 1);  // Next photo
    QTest::keyClick(d.lv, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Cell(d, 1), "Ctrl+Tab");
    EXPECT_EQ(SelectedRow(d), 1);
    ClickRow(d, RowPrevious);
    QTest::keyClick(d.lv, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Cell(d, RowPrevious), "Shift+Ctrl+Tab");
    QTest::keyClick(d.lv, Qt::Key_Backtab, Qt::ShiftModifier);  // moves the focus, captures nothing
    EXPECT_EQ(Cell(d, RowPrevious), "Shift+Ctrl+Tab");
    Click(d.btnOk);
  });
  EXPECT_EQ(state.Settings.HotKeys[1].Key, VK_TAB);
  EXPECT_EQ(state.Settings.HotKeys[1].modifiers, ssCtrl);
  QTest::keyClick(window.get(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(Shown(), "b.png");
  QTest::keyClick(window.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Shown(), "a.png");
}

// No button is the default, yet a focused button takes Enter as it takes
// Space; Enter in the list stays a key to capture.
TEST_F(OptionsTest, EnterOnAFocusedButtonClicksIt) {
  Start(a);
  WithDialog([&](TfOptions& d) {
    ClickRow(d, 1);
    QTest::keyClick(d.lv, Qt::Key_F9);
    QTest::keyClick(d.btnCancel, Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
  });
  EXPECT_EQ(state.Settings.HotKeys[1].Key, VK_SPACE);
  WithDialog([&](TfOptions& d) {
    ClickRow(d, 1);
    QTest::keyClick(d.lv, Qt::Key_F9);
    QTest::keyClick(d.btnDefaults, Qt::Key_Enter);  // the keypad's Enter
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(Cell(d, 1), "Space");
    ClickRow(d, 1);
    QTest::keyClick(d.lv, Qt::Key_F10);
    QTest::keyClick(d.btnOk, Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
  });
  EXPECT_EQ(state.Settings.HotKeys[1].Key, VK_F1 + 9);
  TSettings stored;
  ASSERT_TRUE(LoadSettings(stored));
  EXPECT_EQ(stored.HotKeys[1].Key, VK_F1 + 9);
}

TEST_F(OptionsTest, AHotkeyTakenFromAnotherRowIsMarkedAndRunsTheEarlierActionAfterOk) {
  Start(a);
  ASSERT_EQ(Shown(), "a.png");
  WithDialog([&](TfOptions& d) {
    for (int row = 0; row < HotkeyCount; ++row)
      EXPECT_NE(d.lv->item(row, HotkeyCol)->foreground().color(), QColor(DuplicateHotkeyRgb)) << row;
    ClickRow(d, RowPrevious);
    QTest::keyClick(d.lv, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(Cell(d, RowPrevious), "Ctrl+O");
    for (int row = 0; row < HotkeyCount; ++row) {
      const bool marked = d.lv->item(row, HotkeyCol)->foreground().color() == QColor(DuplicateHotkeyRgb);
      EXPECT_EQ(marked, row == RowPrevious || row == RowOptions) << row;
    }
    EXPECT_EQ(d.lv->item(RowPrevious, HotkeyCol)->toolTip(), "Also the hotkey of: Options");
    Click(d.btnOk);
  });
  // AcPrev comes before AcOptions in the action order: Ctrl+O now goes back
  // to the last image (wrapping round) and no longer opens the dialog.
  int shown = 0;
  ModalDialogHook() = [&](QDialog& d) {
    ++shown;
    d.reject();
  };
  QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(Shown(), "c.png");
  QTest::keyClick(window.get(), Qt::Key_B);  // B is Previous no more
  EXPECT_EQ(Shown(), "c.png");
}

TEST_F(OptionsTest, OnlyTheExifBoxReloadsTheImage) {
  const QString plain = dir.File("plain.jpg");
  ASSERT_TRUE(testimg::Save(testimg::Solid24(40, 30, 0x336699), FIF_JPEG, plain));
  const QString portrait = dir.Write("portrait.jpg", testimg::WithExifOrientation(testimg::ReadFile(plain), 6));
  Start(portrait);
  ASSERT_EQ(window->Bitmap().Width(), 30u);
  state.View.fZoom = 1.4f;  // a reload would reset it

  WithDialog([&](TfOptions& d) {
    d.chZoomToFit->setChecked(false);
    d.chShrinkToFit->setChecked(false);
    d.chAlwaysShowFilename->setChecked(true);
    d.cbResizeFilter->setCurrentIndex(5);
    ClickRow(d, 1);
    QTest::keyClick(d.lv, Qt::Key_F9);
    Click(d.btnOk);
  });
  EXPECT_FLOAT_EQ(state.View.fZoom, 1.4f);
  EXPECT_EQ(window->Bitmap().Width(), 30u);
  EXPECT_FALSE(state.View.bZoomToFit);
  EXPECT_FALSE(state.View.bShrinkToFit);

  WithDialog([&](TfOptions& d) {
    d.chExifRotation->setChecked(false);
    Click(d.btnOk);
  });
  EXPECT_FLOAT_EQ(state.View.fZoom, 1.0f);
  EXPECT_EQ(window->Bitmap().Width(), 40u);
  EXPECT_TRUE(window->windowTitle().startsWith("portrait.jpg  (40 x 30)"));
}

TEST_F(OptionsTest, CancelAndEscLeaveNoTraceAtTheNextShowing) {
  Start(a);
  const auto edit = [](TfOptions& d) {
    d.chFullScreen->setChecked(false);
    d.chExifRotation->setChecked(false);
    d.cbResizeFilter->setCurrentIndex(3);
    ClickRow(d, 1);
    QTest::keyClick(d.lv, Qt::Key_F9);
    ASSERT_EQ(Cell(d, 1), "F9");
  };
  WithDialog([&](TfOptions& d) {
    edit(d);
    Click(d.btnDefaults);
    ClickRow(d, 1);
    QTest::keyClick(d.lv, Qt::Key_F10);
    Click(d.btnCancel);
    EXPECT_EQ(d.result(), QDialog::Rejected);
  });
  WithDialog([&](TfOptions& d) {
    EXPECT_TRUE(d.chFullScreen->isChecked());
    EXPECT_EQ(Cell(d, 1), "Space");
    edit(d);
    QTest::keyClick(d.lv, Qt::Key_Escape);  // taken by the dialog before the list
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_NE(Cell(d, 1), "Esc");
  });
  WithDialog([&](TfOptions& d) {
    EXPECT_TRUE(d.chFullScreen->isChecked());
    EXPECT_TRUE(d.chExifRotation->isChecked());
    EXPECT_EQ(d.cbResizeFilter->currentIndex(), 0);
    EXPECT_EQ(Cell(d, 1), "Space");
    QTest::keyClick(d.chZoomToFit, Qt::Key_Escape);  // from any control
    EXPECT_FALSE(d.isVisible());
  });
  EXPECT_EQ(state.Settings.HotKeys[1].Key, VK_SPACE);
  EXPECT_EQ(state.Settings.ExifRotation, true);
  EXPECT_EQ(window->Action("AcNext")->ShortCut(), ShortCut(VK_SPACE, 0));
  TSettings untouched;
  EXPECT_FALSE(LoadSettings(untouched)) << "Cancel saved the settings";
}

TEST_F(OptionsTest, AStoreThatCannotBeWrittenKeepsTheEditsForTheRunAndSaysSo) {
  Start(a);
  // The config folder's "velvane" is a file, so the hive can be neither
  // written nor locked (even for root).
  FConfig.Write("velvane", "not a folder");
  QStringList errors;
  MessageBoxHooks().error = [&](const QString& text, const QString& caption) { errors << caption + "|" + text; };
  WithDialog([&](TfOptions& d) {
    d.chZoomToFit->setChecked(false);
    ClickRow(d, 1);
    QTest::keyClick(d.lv, Qt::Key_F9);
    Click(d.btnOk);
    EXPECT_FALSE(d.isVisible());
  });
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith(QLatin1String(ApplicationTitle) + "|The settings could not be saved."));
  EXPECT_FALSE(state.Settings.ZoomToFit);
  EXPECT_FALSE(state.View.bZoomToFit);
  QTest::keyClick(window.get(), Qt::Key_F9);  // the new hotkey works for the run
  EXPECT_EQ(Shown(), "b.png");
}

TEST_F(OptionsTest, FileAssociationsButtonOpensTheHookOverTheOpenDialog) {
  Start(a);
  WithDialog([&](TfOptions& d) {
    EXPECT_FALSE(d.btnFileAssociations->isEnabled());
    Click(d.btnCancel);
  });
  int opened = 0;
  dialog->ShowIntegration = [&] {
    ++opened;
    EXPECT_TRUE(dialog->isVisible());
  };
  WithDialog([&](TfOptions& d) {
    ASSERT_TRUE(d.btnFileAssociations->isEnabled());
    Click(d.btnFileAssociations);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(d.isVisible());  // its answer does not close the options
    Click(d.btnCancel);
  });
}

}  // namespace
