#include "services/CatalogueQuery.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "services/PathResolver.h"

namespace tolvan {

namespace {

// Text read as an integer: the leading number (blanks and a sign allowed before it), else 0.
std::int64_t leadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::uint64_t magnitude = 0;
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > limit) magnitude = limit;  // saturates
    }
    const auto value = static_cast<std::int64_t>(magnitude);
    return negative ? -value : value;
}

std::string textOf(const CatalogueValue& v) {
    switch (v.type) {
        case CatalogueValue::Type::Null:
            return {};
        case CatalogueValue::Type::Integer:
            return std::to_string(v.integer);
        case CatalogueValue::Type::Real: {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.15g", v.real);
            return buf;
        }
        case CatalogueValue::Type::Text:
            return v.text;
    }
    return {};
}

std::int64_t integerOf(const CatalogueValue& v) {
    switch (v.type) {
        case CatalogueValue::Type::Null:
            return 0;
        case CatalogueValue::Type::Integer:
            return v.integer;
        case CatalogueValue::Type::Real:
            if (!std::isfinite(v.real) || std::fabs(v.real) >= 9.2e18) return 0;
            return std::llround(v.real);
        case CatalogueValue::Type::Text:
            return leadingInteger(v.text);
    }
    return 0;
}

}  // namespace

void CatalogueQuery::open(CatalogueTable table) {
    table_ = std::move(table);
    First();
}

void CatalogueQuery::close() {
    table_.reset();
    row_ = 0;
    bof_ = eof_ = true;
}

int CatalogueQuery::recordCount() const {
    return table_ ? static_cast<int>(table_->rows.size()) : 0;
}

void CatalogueQuery::First() {
    row_ = 0;
    bof_ = true;
    eof_ = recordCount() == 0;
}

void CatalogueQuery::Next() {
    if (eof_) return;
    bof_ = false;
    if (row_ + 1 < recordCount())
        ++row_;
    else
        eof_ = true;
}

void CatalogueQuery::Prior() {
    if (bof_) return;
    eof_ = false;
    if (row_ > 0)
        --row_;
    else
        bof_ = true;
}

bool CatalogueQuery::Locate(const std::string& column, const std::string& value) {
    const int col = columnIndex(column);
    if (col < 0) return false;
    for (int r = 0; r < recordCount(); ++r) {
        const auto& cells = table_->rows[static_cast<std::size_t>(r)];
        if (static_cast<std::size_t>(col) >= cells.size()) continue;
        if (sameComponentIgnoringCase(textOf(cells[static_cast<std::size_t>(col)]), value)) {
            row_ = r;
            bof_ = eof_ = false;
            return true;
        }
    }
    return false;
}

std::string CatalogueQuery::asString(const std::string& column) const {
    const CatalogueValue* v = value(column);
    return v ? textOf(*v) : std::string();
}

std::int64_t CatalogueQuery::asInteger(const std::string& column) const {
    const CatalogueValue* v = value(column);
    return v ? integerOf(*v) : 0;
}

CatalogueRow CatalogueQuery::linha() const {
    return {asString(catalogo::kDescricao), asString(catalogo::kArquivo),
            asInteger(catalogo::kSetor),    asString(catalogo::kArquivoL),
            asInteger(catalogo::kSetorL),   asString(catalogo::kArquivoL2),
            asInteger(catalogo::kSetorL2)};
}

int CatalogueQuery::columnIndex(const std::string& column) const {
    if (!table_) return -1;
    for (std::size_t i = 0; i < table_->columns.size(); ++i)
        if (sameComponentIgnoringCase(table_->columns[i], column)) return static_cast<int>(i);
    return -1;
}

const CatalogueValue* CatalogueQuery::value(const std::string& column) const {
    const int col = columnIndex(column);
    if (col < 0 || row_ < 0 || row_ >= recordCount()) return nullptr;
    const auto& cells = table_->rows[static_cast<std::size_t>(row_)];
    if (static_cast<std::size_t>(col) >= cells.size()) return nullptr;
    return &cells[static_cast<std::size_t>(col)];
}

}  // namespace tolvan
