#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "services/Dialogs.h"

namespace tolvan {

// The program's modal dialogs as Qt dialogs. Each runs a nested event loop, so timers and
// serial events go on being handled; once the program is ending (the event loops have been
// told to exit) a dialog returns at once as if closed by its title bar.
class QtDialogs : public Dialogs {
  public:
    explicit QtDialogs(std::string applicationTitle);

    int showMessage(const MessageDialog& dialog) override;
    void dismissMessage() override;
    void showPlainMessage(const std::string& text) override;
    void showAbout(AboutBox& about) override;
    void showPortDialog(PortDialog& dialog) override;
    std::optional<std::string> showSelectPort(const SelectPortRequest& request) override;

    // The window that owns the dialogs (the main window).
    void setOwner(QWidget* owner) { owner_ = owner; }
    // The product picture of the about box.
    void setAboutPicture(const QPixmap& picture) { aboutPicture_ = picture; }

  private:
    std::string applicationTitle_;
    // The message boxes open, innermost last.
    std::vector<QPointer<QDialog>> open_;
    QPointer<QWidget> owner_;
    QPixmap aboutPicture_;
};

// The dialog's text as the operator reads it: each carriage return (or CR LF) is a line break.
QString messageText(const std::string& text);

}  // namespace tolvan
