#pragma once

#include <optional>
#include <string>

#include "services/CatalogueStore.h"

struct sqlite3;

namespace tolvan {

// The catalogue table of a SQLite file as the program reads it. The catalogue tool opens and
// reads a catalogue the same way before it shows or changes it, so that both take and refuse the
// same files.
class SqliteCatalogue {
  public:
    // Guards `db`, a connection to a catalogue file that may be hostile: defensive, its schema not
    // trusted (nothing stored in it runs a function), and every statement cut off once it runs
    // away. Lives as long as the connection; each read starts counting afresh.
    explicit SqliteCatalogue(sqlite3* db);
    SqliteCatalogue(const SqliteCatalogue&) = delete;
    SqliteCatalogue& operator=(const SqliteCatalogue&) = delete;

    // "Select * From TolvanLink Order by Descricao", text that is not UTF-8 read as
    // Windows-1252. None when TolvanLink is no table of the catalogue's (there is none, it is a
    // view or a virtual table, a column is missing) or the reading fails or runs away; `porque`
    // then says why, in the operator's words.
    std::optional<CatalogueTable> le(std::string& porque);

    // Zeroes the count of steps that cuts a runaway statement off, before a statement of the
    // caller's own.
    void novaLeitura() { passos_ = 0; }

  private:
    sqlite3* db_;
    int passos_ = 0;
};

}  // namespace tolvan
