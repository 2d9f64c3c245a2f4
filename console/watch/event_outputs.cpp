#include "console/watch/event_outputs.h"

#include <ostream>
#include <utility>

#include "console/text/address_text.h"
#include "lookup/hardware_address_text.h"

namespace varnock::console {
namespace {

class StandardOutput final : public EventOutput {
public:
    StandardOutput(std::ostream& out, OutputFormat format, std::function<bool()> outputGone)
        : out_(out), format_(format), outputGone_(std::move(outputGone)) {}

    void Tell(const WatchEvent&, const EventText& text) override {
        out_ << (format_ == OutputFormat::kJsonLines ? text.json : text.line) << '\n';
    }
    void Flush() override {
        if (!out_.flush() && !broken_) {
            broken_ = "the events cannot be written to standard output";
        }
    }
    std::optional<std::string> Broken() override {
        if (!broken_ && outputGone_ && outputGone_()) {
            broken_ = "standard output was closed by its reader";
        }
        return broken_;
    }

private:
    std::ostream& out_;
    OutputFormat format_;
    std::function<bool()> outputGone_;
    std::optional<std::string> broken_;
};

class LogFile final : public EventOutput {
public:
    LogFile(std::unique_ptr<std::ostream> log, std::string path)
        : log_(std::move(log)), path_(std::move(path)) {}

    // Flushed at each event: a log read while the watch runs is whole.
    void Tell(const WatchEvent&, const EventText& text) override {
        *log_ << text.json << '\n' << std::flush;
        if (!*log_ && !broken_) {
            broken_ = "--log " + path_ + ": cannot be written";
        }
    }
    std::optional<std::string> Broken() override { return broken_; }

private:
    std::unique_ptr<std::ostream> log_;
    std::string path_;
    std::optional<std::string> broken_;
};

class Hook final : public EventOutput {
public:
    explicit Hook(std::unique_ptr<EventHook> hook) : hook_(std::move(hook)) {}

    void Tell(const WatchEvent& event, const EventText& text) override {
        HookEvent run;
        run.environment = {
            {"VARNOCK_EVENT", text.json},
            {"VARNOCK_EVENT_TYPE", KindName(event.kind)},
            {"VARNOCK_INTERFACE", event.interfaceName},
            {"VARNOCK_HARDWARE_ADDRESS", HardwareAddressText(event.hardwareAddress, ":")}};
        if (event.kind != WatchEvent::Kind::kMany && event.kind != WatchEvent::Kind::kBurst) {
            run.environment.emplace_back("VARNOCK_ADDRESS", PlainAddress(event.address));
        }
        run.json = text.json;
        hook_->Queue(std::move(run));
    }
    std::vector<std::string> Advance() override { return hook_->Advance(); }
    bool Busy() const override { return hook_->Busy(); }
    std::vector<std::string> Finish() override { return hook_->Finish(); }

private:
    std::unique_ptr<EventHook> hook_;
};

}  // namespace

std::unique_ptr<EventOutput> StandardOutputEvents(std::ostream& out, OutputFormat format,
                                                  std::function<bool()> outputGone) {
    return std::make_unique<StandardOutput>(out, format, std::move(outputGone));
}

std::unique_ptr<EventOutput> LogFileEvents(std::unique_ptr<std::ostream> log, std::string path) {
    return std::make_unique<LogFile>(std::move(log), std::move(path));
}

std::unique_ptr<EventOutput> HookEvents(std::unique_ptr<EventHook> hook) {
    return std::make_unique<Hook>(std::move(hook));
}

}  // namespace varnock::console
