#pragma once

#include <QAbstractListModel>

#include "services/DiagnosticList.h"

namespace tolvan::gui {

// One diagnostic byte list as an item model: the view asks only for the lines it shows, so a
// list of 130,000 lines costs no widget items.
class DiagnosticListModel : public QAbstractListModel {
  public:
    explicit DiagnosticListModel(const DiagnosticList& list, QObject* parent = nullptr)
        : QAbstractListModel(parent), list_(list) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Takes up the list's current lines.
    void refresh();

  private:
    const DiagnosticList& list_;
    int rows_ = 0;
};

}  // namespace tolvan::gui
