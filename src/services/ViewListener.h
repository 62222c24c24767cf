#pragma once

namespace tolvan {

// Every control of the main window's model, as the window draws it.
enum class ControlId {
    Window,
    ImgTolvanLink,
    lblMsg,
    lblFechar,
    lbxVisor,
    lbxSinalizador,
    lblStatus,
    btnUp,
    btnDown,
    btnRetorna,
    btnConfirma,
    lblMsg2,
    iLedBar1,
    Memo1,
    DiagnosticLists,
    Focus,
};

// The window that draws the model. `changed` asks for a redraw when the event loop next runs;
// `repaintNow` draws at once, also in the middle of a blocking routine.
class ViewListener {
  public:
    virtual ~ViewListener() = default;
    virtual void changed(ControlId control) = 0;
    virtual void repaintNow(ControlId control) = 0;
};

}  // namespace tolvan
