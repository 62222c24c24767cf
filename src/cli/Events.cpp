#include "cli/Events.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tolvan::cli::events {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

const char* imageName(Imagem imagem) {
    switch (imagem) {
        case Imagem::L:
            return "L";
        case Imagem::L2:
            return "L2";
        default:
            return "main";
    }
}

QJsonObject connected() {
    return {{"event", "connected"}};
}

QJsonObject image(Modo modo, Imagem imagem, const std::string& file, int sectors) {
    return {{"event", "image"},
            {"operation", modo == Modo::Leitura ? "verify" : "program"},
            {"image", imageName(imagem)},
            {"file", qs(file)},
            {"sectors", sectors}};
}

QJsonObject sector(int n, int total) {
    return {{"event", "sector"}, {"n", n}, {"total", total}};
}

const char* nameOf(MessageId id) {
    switch (id) {
        case MessageId::Outra:
            return "Outra";
        case MessageId::TextoIlegivel:
            return "TextoIlegivel";
        case MessageId::FundoAusente:
            return "FundoAusente";
        case MessageId::CatalogoIlegivel:
            return "CatalogoIlegivel";
        case MessageId::NenhumSistema:
            return "NenhumSistema";
        case MessageId::Sair:
            return "Sair";
        case MessageId::PortaInvalida:
            return "PortaInvalida";
        case MessageId::OutraPorta:
            return "OutraPorta";
        case MessageId::SelecioneOutraPorta:
            return "SelecioneOutraPorta";
        case MessageId::FalhaNaPorta:
            return "FalhaNaPorta";
        case MessageId::DesconecteCabo:
            return "DesconecteCabo";
        case MessageId::AbandonarConexao:
            return "AbandonarConexao";
        case MessageId::ErroConexao:
            return "ErroConexao";
        case MessageId::MontadoraInexistente:
            return "MontadoraInexistente";
        case MessageId::RegistroNaoLocalizado:
            return "RegistroNaoLocalizado";
        case MessageId::ContagemInvalida:
            return "ContagemInvalida";
        case MessageId::ArquivoNaoEncontrado:
            return "ArquivoNaoEncontrado";
        case MessageId::ArquivoNaoAbre:
            return "ArquivoNaoAbre";
        case MessageId::ArquivoVazio:
            return "ArquivoVazio";
        case MessageId::ErroDeLeitura:
            return "ErroDeLeitura";
        case MessageId::SemComunicacao:
            return "SemComunicacao";
        case MessageId::FalhaInesperada:
            return "FalhaInesperada";
        case MessageId::FimDaGravacao:
            return "FimDaGravacao";
        case MessageId::VerificadoComErros:
            return "VerificadoComErros";
        case MessageId::VerificadoSemErros:
            return "VerificadoSemErros";
    }
    return "Outra";
}

QJsonObject message(MessageId id, const std::string& title, const std::string& text,
                    const std::vector<std::string>& buttons) {
    QJsonObject e{
        {"event", "message"}, {"id", nameOf(id)}, {"title", qs(title)}, {"text", qs(text)}};
    if (!buttons.empty()) {
        QJsonArray list;
        for (const std::string& b : buttons)
            list.append(qs(b));
        e["buttons"] = list;
    }
    return e;
}

QJsonObject answer(const std::string& caption) {
    return {{"event", "answer"}, {"answer", qs(caption)}};
}

QJsonObject end(const Outcome& outcome) {
    return {{"event", "end"},
            {"result", resultOf(outcome)},
            {"code", exitCodeOf(outcome)},
            {"outcome", nameOf(outcome)},
            {"text", qs(outcome.text)}};
}

QJsonArray holders(const HolderScan& scan) {
    QJsonArray list;
    for (const PortHolder& h : scan.holders)
        list.append(QJsonObject{{"pid", static_cast<qint64>(h.pid)},
                                {"command", qs(h.command)},
                                {"argv0", qs(h.argv0)}});
    return list;
}

QJsonObject withAdvice(QJsonObject end, const PortAdvice& advice) {
    QJsonArray interferers;
    for (const Interferer& i : advice.interferers)
        interferers.append(QJsonObject{{"process", qs(i.process)},
                                       {"pid", static_cast<qint64>(i.pid)},
                                       {"remedy", qs(i.remedy)}});
    end["holders"] = advice.holdersKnown ? QJsonValue(holders(advice.holders)) : QJsonValue();
    end["holders_unseen"] = advice.holders.unreadable;
    end["interferers"] = interferers;
    return end;
}

QJsonObject networkAddress(const NetworkAddress& a) {
    return QJsonObject{
        {"url", qs(a.url())},
        {"host", qs(a.host)},
        {"port", a.port},
        {"protocol", a.protocol == NetworkAddress::Protocol::Raw ? "raw" : "rfc2217"}};
}

QJsonObject withNetwork(QJsonObject end, const NetworkAdvice& advice) {
    QJsonObject network = networkAddress(advice.address);
    network["fault"] = nameOf(advice.failure.fault);
    network["advice"] = qs(networkAdviceLine(advice));
    end["network"] = network;
    return end;
}

QByteArray toLine(const QJsonObject& event) {
    return QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> fromLine(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.trimmed(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    return doc.object();
}

std::string text(const QJsonObject& event, const char* key) {
    return event.value(QLatin1String(key)).toString().toStdString();
}

}  // namespace tolvan::cli::events
