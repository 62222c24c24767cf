#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Bytes.h"
#include "RunRecorder.h"
#include "device/Commands.h"
#include "services/ViewListener.h"
#include "sim/TestRig.h"

namespace tolvan::test {

// A device on the scripted line that keeps what is written and reads it back: it answers the
// link poll with 00 03 01, every other frame but CmdExecuta with 00 03 <code>, a sector read with
// 01 03 09 and the next 256 bytes of the image named by the read's address frame.
class RecordingDevice {
  public:
    struct Frame {
        std::uint8_t code;
        std::string bytes;
        std::string statusAtStart;  // the host's status line when the frame began
    };

    RecordingDevice(sim::TestRig& rig) : rig_(rig) {
        rig.serial.onHostWrite = [this](std::string_view b) { onWrite(b); };
    }

    std::vector<Frame> frames;
    std::map<int, std::string> images;  // by the address's first byte: 0 main, 1 L, 2 L2
    bool answers = true;

    int count(std::uint8_t code) const {
        int n = 0;
        for (const Frame& f : frames)
            n += f.code == code ? 1 : 0;
        return n;
    }
    // Bytes 3 to 259 of every sector write, in order.
    std::vector<std::string> sectorWrites() const {
        std::vector<std::string> out;
        for (const Frame& f : frames)
            if (f.code == 0x06) out.push_back(f.bytes.substr(3));
        return out;
    }

  private:
    // The device's own frame lengths; an unknown code is taken as a 6-byte frame.
    static std::size_t lengthOf(std::uint8_t code) {
        const auto shape = emu::shapeOf(code);
        return shape ? shape->length : 6;
    }

    void onWrite(std::string_view b) {
        if (pending_.empty()) status_ = rig_.componentes().lblStatus.caption();
        pending_ += b;
        while (pending_.size() >= 3 && pending_.size() >= lengthOf(pending_[2])) {
            const auto code = static_cast<std::uint8_t>(pending_[2]);
            const std::size_t n = lengthOf(code);
            frames.push_back({code, pending_.substr(0, n), status_});
            react(frames.back());
            pending_.erase(0, n);
        }
    }
    void react(const Frame& f) {
        std::string answer = bytes({0x00, 0x03, f.code});
        if (f.code == 0x01) answer = bytes({0x00, 0x03, 0x01});
        if (f.code == 0x04) {
            image_ = f.bytes[3];
            images[image_].clear();
        }
        if (f.code == 0x06) images[image_] += f.bytes.substr(3, 256);
        if (f.code == 0x07) {
            image_ = f.bytes[3];
            next_ = 0;
        }
        if (f.code == 0x09) {
            std::string data = images[image_].substr(std::min(next_, images[image_].size()), 256);
            data.resize(256, '\0');
            next_ += 256;
            answer = bytes({0x01, 0x03, 0x09}) + data;
        }
        if (f.code == 0x0B || !answers) return;
        rig_.serial.deliver(answer, rig_.loop.nowMs() + 5);
    }

    sim::TestRig& rig_;
    std::string pending_;
    std::string status_;
    int image_ = 0;
    std::size_t next_ = 0;
};

// Records what the model tells the window.
class ViewRecorder : public ViewListener {
  public:
    explicit ViewRecorder(Sessao& s) : s_(s) { s.setView(this); }
    ~ViewRecorder() override { s_.setView(nullptr); }
    void changed(ControlId id) override {
        ++changes[id];
        if (id == ControlId::iLedBar1) barPositions.push_back(s_.vista().iLedBar1.position());
    }
    void repaintNow(ControlId id) override {
        if (id == ControlId::lblStatus) statusRepaints.push_back(s_.vista().lblStatus.caption());
    }
    std::map<ControlId, int> changes;
    std::vector<double> barPositions;
    std::vector<std::string> statusRepaints;

  private:
    Sessao& s_;
};

class TransferTest : public ::testing::Test {
  protected:
    Componentes& f() { return rig.componentes(); }
    FrmTolvanLink& form() { return rig.form(); }
    template <typename Handler>
    void on(Handler&& handler) {
        form().dispatch(handler);
    }
    std::filesystem::path bin() const { return rig.root / "Orsolite" / "Tolvan Link" / "bin"; }
    void writeImage(const std::string& name, const std::string& content) {
        rig.writeImage(name, content);
    }
    // The path as the program builds it.
    std::string built(const std::string& name) { return f().DirPrograma + "\\bin\\" + name; }

    // Starts on one system, connects, confirms the system and then operation menu line `linha`
    // (1 programming and verification, 2 programming, 3 verification).
    void runOperation(const sim::FakeCatalogueStore::System& system, int linha,
                      const std::function<void(CatalogueTable&)>& adjust = {}) {
        rig.setSystems({system});
        if (adjust) adjust(rig.catalogue.table);
        rig.start();
        on([&] {
            f().painel.cliqueVisor(1);
            f().painel.btnConfirmaClick();
        });
        rig.loop.runFor(1000);
        ASSERT_EQ(f().nav.Tela, 1);
        on([&] { f().painel.btnConfirmaClick(); });
        ASSERT_EQ(f().nav.Tela, 2);
        device.frames.clear();
        rig.dialogs.messages.clear();
        on([&] {
            f().painel.cliqueVisor(linha);
            f().painel.btnConfirmaClick();
        });
        rig.loop.runFor(600000);
    }

    sim::TestRig rig;
    RecordingDevice device{rig};
};

}  // namespace tolvan::test
