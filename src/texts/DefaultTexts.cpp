#include "texts/DefaultTexts.h"

#include <cstdio>

#include "texts/Cp1252.h"

namespace tolvan {

const std::vector<std::string>& textosPadraoDialogo() {
    static const std::vector<std::string> textos = {
        "OK",  "Cancelar", "Abortar",    "Repetir", "Ignorar",     "Sim",
        "Não", "Todos",    "Informação", "Erro",    "Confirmação", "Aviso"};
    return textos;
}

std::vector<std::string> mensagensPadrao() {
    // The program's own messages come first; the rest of the table up to the dialog's entries is
    // kept for texts of later versions.
    std::vector<std::string> m = {
        "Porta de Comunicação Inválida!",
        "Deseja selecionar outra porta?",
        "Porta de Comunicação Inválida!¤¤Selecione outra porta.",
        "Desconecte o cabo de comunicação do¤Tolvan Link e clique em \"OK\", após¤clicar em "
        "\"OK\" conecte novamente o¤cabo no Tolvan Link e aguarde.",
        "Não houve comunicação. Deseja abandonar a conexão?",
        "Houve um erro na Conexão.¤Tente Novamente!",
        "Não houve comunicação.¤O processo será abandonado!",
        "FIM DA GRAVAÇÃO¤¤O Tolvan Link será executado.",
        "ARQUIVO VERIFICADO SEM ERROS¤¤O Tolvan Link será executado.",
        "ARQUIVO VERIFICADO COM ERROS",
        "Arquivo não encontrado:",
        "Erro ao localizar o registro.",
        "Montadora inexistente no Tolvan Link.",
        "Nenhum sistema foi encontrado.¤¤Se houver interesse em adquirir¤algum, favor entrar em "
        "contato¤com a Orsolite.",
        "Deseja realmento sair do Tolvan Link?",
        "Não foi possível encontrar o arquivo:",
        "Conectando ...",
        "Gravando ...",
        "Verificando ...",
        "Lendo Arquivo ...",
        "Erro na Conexão.",
        "O programa será encerrado.",
        "Selecione um Sistema",
        "Selecione a Porta de Comunicação",
        "Mais sistemas ... seta para baixo.",
        "Mais sistemas ... seta para cima.",
    };
    char buf[64];
    while (m.size() < static_cast<std::size_t>(kPrimeiraEntradaDialogo)) {
        std::snprintf(buf, sizeof buf, "Reservado %03zu", m.size());
        m.emplace_back(buf);
    }
    for (const std::string& t : textosPadraoDialogo())
        m.push_back(t);
    return m;
}

std::vector<std::pair<std::string, std::string>> captionsPadrao() {
    return {
        {"frmTolvanLink", "Vessaro"},
        {"lblStatus", "[Desconectado]"},
        {"btnUp", "Sobe"},
        {"btnDown", "Desce"},
        {"btnRetorna", "Retorna"},
        {"btnConfirma", "Confirma"},
        {"lblFechar", "Sair do Programa"},
        {"frmPorta", "Porta de Comunicação"},
        {"lblPorta", "Selecione a porta de comunicação:"},
        {"frmAbout", "Sobre o Produto"},
        {"lblSistemas", "Sistemas Instalados"},
        {"frmCarregando", "Carregando ..."},
    };
}

namespace {

std::string crlfFile(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += utf8ToCp1252(line) + "\r\n";
    return text;
}

}  // namespace

std::string arquivoMensagensPadrao() {
    std::vector<std::string> lines = {"; Tolvan Link - tabela de mensagens", "[Português]"};
    char key[32];
    const std::vector<std::string> mensagens = mensagensPadrao();
    for (std::size_t i = 0; i < mensagens.size(); ++i) {
        std::snprintf(key, sizeof key, "Msg%03zu", i);
        lines.push_back(std::string(key) + " = " + mensagens[i]);
    }
    lines.push_back("[FIM]");
    lines.push_back("[English]");
    lines.push_back("Msg000 = Invalid communication port!");
    lines.push_back("[FIM]");
    return crlfFile(lines);
}

std::string arquivoCaptionsPadrao() {
    std::vector<std::string> lines = {"; Tolvan Link - legendas", "[Português]"};
    for (const auto& [key, text] : captionsPadrao())
        lines.push_back(key + " = " + text);
    lines.push_back("[FIM]");
    lines.push_back("[English]");
    lines.push_back("frmTolvanLink = Vessaro");
    lines.push_back("[FIM]");
    return crlfFile(lines);
}

}  // namespace tolvan
