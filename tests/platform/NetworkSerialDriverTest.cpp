#include "platform/NetworkSerialDriver.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "PtyTestSupport.h"

namespace tolvan {
namespace {

using test::runUntil;

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

class Receiver : public SerialDriver::Listener {
  public:
    explicit Receiver(SerialDriver& driver) : driver_(driver) { driver_.setListener(this); }
    ~Receiver() override { driver_.setListener(nullptr); }
    void bytesArrived() override { got += driver_.takeReceived(); }
    void lineLost(const std::string& reason) override { losses.push_back(reason); }
    std::string got;
    std::vector<std::string> losses;

  private:
    SerialDriver& driver_;
};

// A server on 127.0.0.1 that plays a script on a thread of its own: it sets the line up in
// one piece that ends in the middle of a command, waits for the client's first data, then
// sends the rest of that command and data with a doubled 0xFF, and closes.
class ScriptedServer {
  public:
    ScriptedServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
        thread_ = std::thread([this] { play(); });
    }
    ~ScriptedServer() {
        thread_.join();
        ::close(listener_);
    }

    std::uint16_t port = 0;
    std::string heard;  // everything the client sent

  private:
    void play() {
        const int c = ::accept(listener_, nullptr, nullptr);
        const int iac = 255, sb = 250, se = 240;
        // BINARY both ways, COM-PORT-OPTION, the five acknowledgements, and the start of a
        // modem state notification.
        std::string setUp = bytes({iac, 253, 0, iac, 251, 0, iac, 253, 44});
        for (const std::string& ack : {bytes({101, 0, 0, 0x4B, 0}), bytes({102, 8}),
                                       bytes({103, 1}), bytes({104, 1}), bytes({105, 1})})
            setUp += bytes({iac, sb, 44}) + ack + bytes({iac, se});
        setUp += bytes({iac, sb, 44, 107});
        ::send(c, setUp.data(), setUp.size(), 0);
        // The client's data comes after its own negotiation and settings.
        char buffer[512];
        while (heard.find(bytes({0xFF, 0xFF, 0x01})) == std::string::npos) {
            const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            heard.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string rest = bytes({0x00, iac, se, 'A', 0xFF, 0xFF, 'B'});
        ::send(c, rest.data(), rest.size(), 0);
        ::close(c);
    }

    int listener_ = -1;
    std::thread thread_;
};

// The session's last command cut by the end of a read is finished by the next read, and is no
// data; 0xFF goes out doubled and comes back single; the server's close is the line's loss,
// told once, after the data that came before it.
TEST(NetworkSerialDriverTest, CarriesDataAcrossTheTelnetLayerAndLosesTheLineOnce) {
    ScriptedServer server;
    NetworkSerialDriver driver;
    Receiver receiver(driver);
    std::string error;
    ASSERT_TRUE(driver.open("rfc2217://127.0.0.1:" + std::to_string(server.port), error)) << error;
    ASSERT_TRUE(driver.write(bytes({0xFF, 0x01})));
    ASSERT_TRUE(runUntil([&] { return !receiver.losses.empty(); }));
    EXPECT_EQ(receiver.got,
              "A\xFF"
              "B");
    EXPECT_EQ(receiver.losses, std::vector<std::string>{"the server closed the connection"});
    EXPECT_EQ(driver.lastFailure().fault, NetworkFault::Lost);
    EXPECT_TRUE(driver.lineIsLost());
    EXPECT_FALSE(driver.write("x"));
    driver.close();
}

}  // namespace
}  // namespace tolvan
