#pragma once

namespace tolvan {

// Fixed names of the installation and of the sibling launcher, as the program writes them
// (Windows style; the path resolver finds them under the installation root).
inline constexpr const char* kSelectionFile = "\\orsolite\\comuns\\Selecao";
inline constexpr const char* kBackgroundPicture = "\\Orsolite\\TolvanFlex\\Imagens\\FundoComum.jpg";
inline constexpr const char* kCatalogueFile = "\\Orsolite\\Tolvan Link\\Tabelas\\TolvanLink.db";
inline constexpr const char* kMarkerFile = "c:\\orsolite\\tolvanflex\\pilq.dll";
inline constexpr const char* kLauncherTitle = "Tolvan Flex Selecionador";
inline constexpr const char* kDebugFile = "debug.txt";
inline constexpr const char* kApplicationTitle = "Vessaro";

}  // namespace tolvan
