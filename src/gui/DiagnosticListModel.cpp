#include "gui/DiagnosticListModel.h"

namespace tolvan::gui {

int DiagnosticListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant DiagnosticListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_) return {};
    return QString::fromStdString(list_.text(static_cast<std::size_t>(index.row())));
}

void DiagnosticListModel::refresh() {
    // The list may have been cleared and refilled since the last look: start over.
    beginResetModel();
    rows_ = static_cast<int>(list_.count());
    endResetModel();
}

}  // namespace tolvan::gui
