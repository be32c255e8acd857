// The plugin window for the VST3 and CLAP plugins: the same X11 window as
// the LV2 plugin's, inside the parent window the host gives, driven by the
// host's idle timer. Values travel as parameters (see parameters.h).
#include "DistrhoUI.hpp"

#include "parameters.h"
#include "ui/x11_window.h"

START_NAMESPACE_DISTRHO

namespace {

#ifdef BRUMMKISTE_STEREO_INPUT
const char* const TITLE = "Brummkiste Tiefgarten Stereo";
#else
const char* const TITLE = "Brummkiste Tiefgarten";
#endif

// The host's scale factor where it gives one other than 1; else the
// window's own choice (environment, screen resolution), as in LV2 hosts.
double window_scale()
{
    const double host = UI::getNextScaleFactor();
    return host != 1.0 && host >= 0.5 && host <= 4.0 ? host : ui_window_screen_scale();
}

uint model_width(double scale)
{
    UiModel model;
    ui_model_init(&model, scale, nullptr, nullptr);
    return static_cast<uint>(model.width);
}

uint model_height(double scale)
{
    UiModel model;
    ui_model_init(&model, scale, nullptr, nullptr);
    return static_cast<uint>(model.height);
}

}  // namespace

class TiefgartenUI : public UI {
public:
    // Host's UI thread. Also made without a parent window, only to ask
    // the size.
    TiefgartenUI() : TiefgartenUI(window_scale()) {}

    ~TiefgartenUI() override { ui_window_close(window); }

protected:
    // Host's UI thread: a parameter changed on the plugin's side.
    void parameterChanged(uint32_t index, float value) override
    {
        const PortIndex port = port_of_parameter(index);
        if (port != PORT_COUNT) ui_window_set_value(window, port, control_value(port, value));
    }

    void stateChanged(const char*, const char*) override {}

    // Host's UI thread, regularly.
    void uiIdle() override { ui_window_idle(window); }

    uintptr_t getNativeWindowHandle() const noexcept override
    {
        return window ? ui_window_id(window) : 0;
    }

private:
    explicit TiefgartenUI(double scale) : UI(model_width(scale), model_height(scale))
    {
        const uintptr_t parent = getNextWindowId();
        if (parent) window = ui_window_open(parent, scale, TITLE, write_value, this, getSampleRate());
    }

    // A value the musician changed, as a single gesture.
    static void write_value(void* context, PortIndex port, float value)
    {
        TiefgartenUI* self = static_cast<TiefgartenUI*>(context);
        const uint32_t index = parameter_of_port(port);
        self->editParameter(index, true);
        self->setParameterValue(index, parameter_value(port, value));
        self->editParameter(index, false);
    }

    UiWindow* window = nullptr;

    DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(TiefgartenUI)
};

UI* createUI()
{
    return new TiefgartenUI();
}

END_NAMESPACE_DISTRHO
