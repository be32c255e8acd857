#include "instance/instance.h"

#include <cfloat>
#include <cstdlib>
#include <new>

#include "instance/fp_guard.h"

PluginInstance* instance_create(double sample_rate, bool stereo)
{
    // The rate must be finite, at least 1 Hz and representable in single precision.
    if (!(sample_rate >= 1.0 && sample_rate <= FLT_MAX)) return nullptr;
    PluginInstance* self = new (std::nothrow) PluginInstance;
    if (!self) return nullptr;
    self->dsp = static_cast<DspState*>(std::malloc(sizeof(DspState)));
    if (!self->dsp) {
        delete self;
        return nullptr;
    }
    self->host_rate = sample_rate;
    for (float*& port : self->ports) port = nullptr;
    self->in_r = nullptr;
    self->stereo = stereo;
    instance_reset(self);
    return self;
}

void instance_reset(PluginInstance* self)
{
    engine_init(self->dsp, static_cast<float>(self->host_rate));
    controls_reset(&self->controls);
}

void instance_destroy(PluginInstance* self)
{
    if (!self) return;
    std::free(self->dsp);
    delete self;
}

void instance_run(PluginInstance* self, uint32_t n)
{
    FpGuard guard;
    fp_guard_enter(&guard);
    const AudioBuffers io = {self->ports[PORT_IN], self->in_r, self->ports[PORT_OUT_L],
                             self->ports[PORT_OUT_R], self->stereo};
    run_period(&self->controls, self->dsp, self->ports, &io, n);
    fp_guard_leave(&guard);
}
