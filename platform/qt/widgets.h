// The three widgets the Qt backend needs beyond stock Qt: the dialog window, which turns
// Enter, Escape and the close box into the messages the dialog procedure expects; the list
// box, which moves and selects with the list keys and asks the procedure about them; and
// the painter of tab-separated lines.
// Building dialogs and answering the program's calls is left to dialogs.cpp and controls.cpp.
#pragma once

#include "platform/qt/backend.h"

#include <QListWidget>
#include <QStyledItemDelegate>

#include <vector>

namespace qt_backend {

class DialogWindow : public QWidget {
  public:
    DialogWindow(WindowRecord* record, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void press_enter();
    WindowRecord* record_;
};

class ListBox : public QListWidget {
  public:
    ListBox(WindowRecord* record, const ControlRecord& control, QWidget* parent);

    // Where a tab at x (pixels from the line's left edge) moves the text on to: the first
    // stop right of x; past the last stop, or with a single stop, evenly spaced stops.
    int next_stop(int x) const;
    void set_stops(const std::vector<int>& dialog_units) { stops_ = dialog_units; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int page_lines() const; // lines the list shows at once
    WindowRecord* record_;
    int id_;
    unsigned style_;
    std::vector<int> stops_; // dialog units, as the program gave them
};

class TabbedLineDelegate : public QStyledItemDelegate {
  public:
    explicit TabbedLineDelegate(ListBox* list) : QStyledItemDelegate(list), list_(list) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    ListBox* list_;
};

// A caption as a button or label shows it: "\r\n" line ends as Qt's "\n", and, for
// buttons whose caption may take several lines, wrapped between words to fit width.
QString shown_caption(const QString& caption);
QString wrap_caption(const QString& caption, const QFontMetrics& metrics, int width);

} // namespace qt_backend
