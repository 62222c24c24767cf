#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "services/CatalogueStore.h"

namespace tolvan {

// The catalogue query QrTolvanLink ("Select * From TolvanLink Order by Descricao") with the
// cursor of a data set: a current row and the Bof and Eof marks.
class CatalogueQuery {
  public:
    bool active() const { return table_.has_value(); }
    void open(CatalogueTable table);
    void close();

    int recordCount() const;
    void First();
    void Next();
    void Prior();
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    // Finds the row whose column equals the value, ignoring case, whole value. On success the
    // row becomes current and both marks are cleared; otherwise nothing changes.
    bool Locate(const std::string& column, const std::string& value);

    // Columns of the current row by name, without regard to case.
    std::string asString(const std::string& column) const;
    std::int64_t asInteger(const std::string& column) const;
    // The current row's system, read as the columns above read it.
    CatalogueRow linha() const;

  private:
    int columnIndex(const std::string& column) const;
    const CatalogueValue* value(const std::string& column) const;

    std::optional<CatalogueTable> table_;
    int row_ = 0;
    bool bof_ = true;
    bool eof_ = true;
};

}  // namespace tolvan
