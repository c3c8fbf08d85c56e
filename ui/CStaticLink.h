#pragma once
#include <QLabel>

// A text that opens its web address when clicked (or when space is pressed while it has the
// focus): blue and underlined, purple once visited; a beep when nothing can open it.
class CStaticLink : public QLabel {
  Q_OBJECT
 public:
  explicit CStaticLink(const QString& link, QWidget* parent = nullptr);
  bool visited() const { return visited_; }
  // Opens the link; false (and a beep) when it cannot be opened.
  bool open();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void paintColour();
  QString link_;
  bool visited_ = false;
};
