#include "ParadoxWriter.h"

#include <algorithm>
#include <stdexcept>

extern "C" {
#include <paradox.h>
}

namespace tolvan::catalogue {

void writeParadoxTable(const std::filesystem::path& file, const std::vector<ParadoxRow>& rows,
                       int codePage, bool withL2) {
    PX_boot();
    pxdoc_t* doc = PX_new();
    const int count = withL2 ? 7 : 5;
    // pxlib takes over the field array and names and frees them with the document.
    auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * count, "fields"));
    const struct {
        const char* name;
        char type;
        int len;
    } spec[7] = {{"Descricao", pxfAlpha, 40}, {"Arquivo", pxfAlpha, 20},
                 {"Setor", pxfShort, 2},      {"Arquivo_L", pxfAlpha, 20},
                 {"Setor_L", pxfLong, 4},     {"Arquivo_L2", pxfAlpha, 20},
                 {"Setor_L2", pxfNumber, 8}};
    for (int i = 0; i < count; ++i) {
        fields[i].px_fname = PX_strdup(doc, spec[i].name);
        fields[i].px_ftype = spec[i].type;
        fields[i].px_flen = spec[i].len;
        fields[i].px_fdc = 0;
    }
    if (PX_create_file(doc, fields, count, file.c_str(), pxfFileTypNonIndexDB) < 0)
        throw std::runtime_error("pxlib cannot create " + file.string());
    PX_set_tablename(doc, "TolvanLink");
    if (codePage) PX_set_value(doc, "codepage", static_cast<float>(codePage));
    std::vector<char> record(static_cast<std::size_t>(PX_get_recordsize(doc)));
    for (const ParadoxRow& r : rows) {
        std::fill(record.begin(), record.end(), 0);
        char* at = record.data();
        auto alpha = [&](const std::string& text, int len) {
            std::string copy = text;
            if (!copy.empty()) PX_put_data_alpha(doc, at, len, copy.data());
            at += len;
        };
        alpha(r.descricao, 40);
        alpha(r.arquivo, 20);
        PX_put_data_short(doc, at, 2, static_cast<short>(r.setor));
        at += 2;
        alpha(r.arquivoL, 20);
        PX_put_data_long(doc, at, 4, r.setorL);
        at += 4;
        if (withL2) {
            alpha(r.arquivoL2, 20);
            PX_put_data_double(doc, at, 8, static_cast<double>(r.setorL2));
        }
        PX_put_record(doc, record.data());
    }
    PX_close(doc);
    PX_delete(doc);
}

}  // namespace tolvan::catalogue
