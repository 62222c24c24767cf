#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <optional>
#include <string>
#include <vector>

#include "app/Sessao.h"
#include "cli/ExitCodes.h"
#include "cli/PortDoctor.h"

namespace tolvan::cli {

// The events of a run as JSON objects: what --json prints one a line, what a bench's parent
// reads from its children, and what the terminal views draw from. Each event has "event";
// "port" and "t" are added by whoever emits it.
namespace events {

// "main", "L", "L2".
const char* imageName(Imagem imagem);

QJsonObject connected();
QJsonObject image(Modo modo, Imagem imagem, const std::string& file, int sectors);
QJsonObject sector(int n, int total);
// A message the panel would show, with the identity of the message ("DesconecteCabo"; "Outra"
// for a plain one); a question lists its buttons.
QJsonObject message(MessageId id, const std::string& title, const std::string& text,
                    const std::vector<std::string>& buttons = {});
// The identity's own name, "DesconecteCabo".
const char* nameOf(MessageId id);
QJsonObject answer(const std::string& caption);
QJsonObject end(const Outcome& outcome);
// The processes that hold a device: [{pid, command, argv0}].
QJsonArray holders(const HolderScan& scan);
// An end event with what the port doctor found: "holders" [{pid, command, argv0}],
// "holders_unseen" (processes that could not be looked into) and "interferers"
// [{process, pid, remedy}].
QJsonObject withAdvice(QJsonObject end, const PortAdvice& advice);
// An end event with what went wrong with a port on another machine: "network" {url, host,
// port, protocol ("rfc2217", "raw"), fault (nameOf(NetworkFault)), advice (the line
// networkAdviceLine gives)}.
QJsonObject withNetwork(QJsonObject end, const NetworkAdvice& advice);
// A port on another machine: {url, host, port, protocol ("rfc2217", "raw")}.
QJsonObject networkAddress(const NetworkAddress& address);

// One line of output: the compact object and a line feed.
QByteArray toLine(const QJsonObject& event);
// An object read back from a line; none for anything else.
std::optional<QJsonObject> fromLine(const QByteArray& line);

std::string text(const QJsonObject& event, const char* key);

}  // namespace events
}  // namespace tolvan::cli
