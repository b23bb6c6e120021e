#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTabWidget;
class QTextBrowser;

// The about dialog: product title, version, a link to the help page that
// ships with the viewer, and the credits of the libraries and fonts the
// viewer uses.
class TfAbout : public QDialog {
  Q_OBJECT
public:
  // appDir is the executable's folder, with a trailing '/' (where the help
  // page is looked for). screenPpi 0 takes the screen's pixels per inch.
  explicit TfAbout(const QString& appDir, QWidget* parent = nullptr, int screenPpi = 0);

  QLabel* TitleLabel() const { return lblTitle; }
  QLabel* VersionLabel() const { return lblVersion; }
  QLabel* LinkLabel() const { return lblLink; }
  QTabWidget* Tabs() const { return PageControl1; }
  QTextBrowser* Credits() const { return memCredits; }
  QPushButton* OkButton() const { return btnOk; }

  void lblLinkClick();

private:
  int Scaled(int designValue) const;

  QString FAppDir;
  int FScreenPpi;
  QTabWidget* PageControl1 = nullptr;
  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblLink = nullptr;
  QTextBrowser* memCredits = nullptr;
  QPushButton* btnOk = nullptr;
};
