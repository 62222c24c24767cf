#pragma once

#include <string>
#include <vector>

namespace tolvan {

// The about box TfrmAbout: the product's title, version and date, the maker's lines and the
// list of systems installed in the catalogue.
class AboutBox {
  public:
    static constexpr const char* kTitulo = "Vessaro";
    static constexpr const char* kVersao = "Versão 1.07";
    static constexpr const char* kData = "19 de Julho de 2004";
    static constexpr const char* kEmpresa = "Orsolite Eletrônica Ltda.";
    static constexpr const char* kSite = "www.orsolite.com.br";
    static constexpr const char* kEmail = "suporte@orsolite.com.br";
    static constexpr const char* kRotuloSistemas = "Sistemas Instalados";

    std::vector<std::string> lbxSisInstall;
};

}  // namespace tolvan
