// A view that draws when it starts and then again on its own timer thread. Only that thread draws
// after the start, so the canvas never has two painters; other threads change state and `wake` it.
#pragma once

#include "KeyPainter.h"
#include "PluginObject.h"
#include "Ticker.h"

#include <exception>

namespace corvane_plugins {

class TickingView : public PluginObject {
protected:
    explicit TickingView(IKVViewPluginContext* context) : context_(context) {}

    // Draws the current picture; called on the start and on every tick.
    virtual void draw(KeyPainter& painter) = 0;
    // How long until the picture changes again.
    virtual Ticker::Delay nextDelay() = 0;

    void start() override {
        ticker_.stop(); // a second start must not change the canvas under a running tick
        canvas_ = context_->vtbl->GetCanvas(context_);
        if (canvas_ == nullptr)
            return;
        publish();
        ticker_.start(nextDelay(), [this] {
            try {
                publish();
            } catch (const std::exception& e) {
                logError(pluginName(), "drawing failed: %s", e.what());
            }
            return nextDelay();
        });
    }
    void halt() override { ticker_.stop(); }

    // Redraws now instead of at the next tick.
    void wake() { ticker_.wake(); }

    IKVViewPluginContext* context() const { return context_; }

private:
    void publish() {
        {
            KeyPainter painter(canvas_);
            draw(painter);
        }
        context_->vtbl->Update(context_);
    }

    IKVViewPluginContext* context_;
    KVPluginCanvas* canvas_ = nullptr;
    Ticker ticker_;
};

} // namespace corvane_plugins
