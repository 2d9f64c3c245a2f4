#pragma once

#include <functional>

namespace varnock {

// Runs `work` on a thread of its own and returns when it has finished, as
// if it had been called directly: an exception it throws is rethrown here.
// Meanwhile the calling (user-interface) thread keeps the windows painted
// but takes no input: keys, mouse, wheel, shortcuts and the user's close
// requests are thrown away, not queued, so nothing the user does during the
// wait runs a handler, then or afterwards. A busy cursor shows meanwhile.
//
// `work` must not touch widgets. Call it from the user-interface thread.
void RunWhileIgnoringInput(const std::function<void()>& work);

}  // namespace varnock
