#pragma once

#include "morvane_model.h"
#include "real_converters.h"

#include <memory>

// Where the real parts meet the model: the window application and the
// command both make their model here. `services` carries what the caller
// decides itself, its desktop at least.
namespace Compose {

enum class Updates { checked, none };

// The model with the real converters and one HTTP session for the process;
// with Updates::checked, in a build that updates itself, also the real
// update service over that session.
std::unique_ptr<MorvaneModel> model(ModelServices services, RealConverters::Engine engine,
                                    Updates updates);

} // namespace Compose
