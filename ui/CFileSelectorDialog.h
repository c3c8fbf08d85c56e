#pragma once
#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

// Picks one image out of an archive's names; on OK the names become the chosen image, preceded
// by its helper (the RAM loader, or a utility loader of a numbered set) for the boot-loader methods.
class CFileSelectorDialog : public QDialog {
  Q_OBJECT
 public:
  CFileSelectorDialog(std::vector<std::string>& names, bool includeLoaderImages, QWidget* parent = nullptr);
  QListWidget* list() const { return list_; }
  QPushButton* okButton() const { return ok_; }
  void accept() override;

 private:
  std::vector<std::string>& names_;
  bool includeLoaderImages_;
  QLabel* text_;
  QListWidget* list_;
  QPushButton* ok_;
};
