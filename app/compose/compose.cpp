#include "compose.h"

#ifdef MORVANE_SELF_UPDATE
#include "real_update_service.h"
#endif

#include <QNetworkAccessManager>

namespace Compose {

std::unique_ptr<MorvaneModel> model(ModelServices services, RealConverters::Engine engine,
                                    Updates updates) {
    // The session goes with the model, after the update service that uses it.
    auto* network = new QNetworkAccessManager();
    services.network = network;
#ifdef MORVANE_SELF_UPDATE
    if (updates == Updates::checked)
        services.updates = std::make_unique<RealUpdateService>(*network);
#else
    Q_UNUSED(updates);
#endif
    auto made = std::make_unique<MorvaneModel>(std::make_unique<RealConverters>(engine),
                                               std::move(services));
    network->setParent(made.get());
    return made;
}

} // namespace Compose
