#pragma once
#include <QDialog>

class CStaticLink;
class QPlainTextEdit;

// Product name and version, copyright, the project's web address and the command-line usage.
class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  static QString productLine();
  static QString copyrightLine();
  CStaticLink* link() const { return link_; }
  QPlainTextEdit* usage() const { return usage_; }

 private:
  CStaticLink* link_;
  QPlainTextEdit* usage_;
};
