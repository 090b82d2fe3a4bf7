#include "connector_rtde_topics.h"

#include <cmath>

#include "connector_rtde.h"

namespace zorv_interface {

template <typename Protocol>
RtdeTopics<Protocol>::RtdeTopics(RtdeConnection<Protocol>& connection)
    : connection(connection), log(connection.log), sites(connection.log.sites) {
    reset();
}

template <typename Protocol>
bool RtdeTopics<Protocol>::checkRecipe(const std::vector<std::string>& names, const std::map<std::string, int>& map) {
    for (const auto& name : names) {
        if (map.count(name) == 0) {
            log(LogLevel::Error, sites.cannotFind) << name << " in input/output map";
            return false;
        }
    }
    return true;
}

template <typename Protocol>
int RtdeTopics<Protocol>::setTopic(bool to_server, const std::vector<std::string>& names, double frequency,
                                   int channel) {
    if (!connection.connectedAndLogined(sites.setTopicNotConnected, sites.setTopicNotLogined)) {
        return -1;
    }
    std::lock_guard<std::recursive_mutex> guard(connection.lock);
    RtdeRecipe recipe;
    recipe.to_server = to_server;
    recipe.segments = names;
    recipe.frequency = frequency;
    if (!checkRecipe(names, to_server ? inputMap() : outputMap())) {
        log(LogLevel::Error, sites.checkRecipeFailed);
        return -1;
    }
    if (takeChannel(recipe, channel) < 0) {
        log(LogLevel::Error, to_server ? sites.runOutInput : sites.runOutOutput);
        return -2;
    }
    if (connection.publish(kControlChannel, [recipe](OutputBuilder& builder) { builder.push(recipe); }) != 0) {
        return -1;
    }
    return recipe.chanel;
}

template <typename Protocol>
int RtdeTopics<Protocol>::takeChannel(RtdeRecipe& recipe, int requested) {
    std::lock_guard<std::mutex> guard(mutex);
    auto& pool = recipe.to_server ? freeInputChannels : freeOutputChannels;
    if (pool.empty()) {
        return -1;
    }
    auto chosen = pool.find(requested);
    if (chosen == pool.end()) {
        chosen = pool.begin();  // the lowest free channel
    }
    recipe.chanel = *chosen;
    pool.erase(chosen);
    (recipe.to_server ? inputRecipes_ : outputRecipes_)[recipe.chanel] = recipe;
    return recipe.chanel;
}

template <typename Protocol>
int RtdeTopics<Protocol>::removeTopic(bool to_server, int channel) {
    if (!connection.connectedAndLogined(sites.removeNotConnected, sites.removeNotLogined)) {
        return 1;
    }
    {
        std::lock_guard<std::mutex> guard(mutex);
        auto& recipes = to_server ? inputRecipes_ : outputRecipes_;
        const bool registered = recipes.erase(channel) > 0;
        if (registered && channel >= 0 && channel < kChannels) {
            (to_server ? freeInputChannels : freeOutputChannels).insert(channel);
        }
        if (!to_server) {
            subscriptions.erase(channel);
        }
    }
    RtdeRecipe recipe;
    recipe.to_server = to_server;
    recipe.chanel = channel;
    recipe.frequency = 0.0;
    connection.publish(kControlChannel, [recipe](OutputBuilder& builder) { builder.push(recipe); });
    return 0;
}

template <typename Protocol>
int RtdeTopics<Protocol>::subscribe(int channel, Subscription handler) {
    auto fresh = std::make_shared<Subscriber>(std::move(handler));
    std::lock_guard<std::mutex> guard(mutex);
    subscriptions[channel] = std::move(fresh);
    return 0;
}

template <typename Protocol>
void RtdeTopics<Protocol>::adoptMaps(std::map<std::string, int> input, std::map<std::string, int> output) {
    std::lock_guard<std::mutex> guard(mutex);
    inputMap_ = std::move(input);
    outputMap_ = std::move(output);
}

template <typename Protocol>
std::map<std::string, int> RtdeTopics<Protocol>::inputMap() {
    std::lock_guard<std::mutex> guard(mutex);
    return inputMap_;
}

template <typename Protocol>
std::map<std::string, int> RtdeTopics<Protocol>::outputMap() {
    std::lock_guard<std::mutex> guard(mutex);
    return outputMap_;
}

template <typename Protocol>
typename RtdeTopics<Protocol>::Recipes RtdeTopics<Protocol>::inputRecipes() {
    std::lock_guard<std::mutex> guard(mutex);
    return inputRecipes_;
}

template <typename Protocol>
typename RtdeTopics<Protocol>::Recipes RtdeTopics<Protocol>::outputRecipes() {
    std::lock_guard<std::mutex> guard(mutex);
    return outputRecipes_;
}

template <typename Protocol>
typename RtdeTopics<Protocol>::SubscriberPtr RtdeTopics<Protocol>::subscriber(int channel) {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = subscriptions.find(channel);
    return found != subscriptions.end() ? found->second : nullptr;
}

template <typename Protocol>
void RtdeTopics<Protocol>::countDelivery(Subscriber& subscriber) {
    if (sites.tcp) {
        ++subscriber.delivered;
    }
}

template <typename Protocol>
bool RtdeTopics<Protocol>::hasEnding(const std::string& full, const std::string& ending) {
    return full.size() >= ending.size() && full.compare(full.size() - ending.size(), ending.size(), ending) == 0;
}

template <typename Protocol>
void RtdeTopics<Protocol>::checkReceiveRates() {
    struct Shortfall {
        int channel;
        int received;
        double expected;
    };
    if (!sites.tcp) {
        return;  // no delivery counts
    }
    std::vector<Shortfall> shortfalls;
    {
        std::lock_guard<std::mutex> guard(mutex);
        for (const auto& [channel, subscriber] : subscriptions) {
            const int count = subscriber->delivered.exchange(0);
            const auto recipe = outputRecipes_.find(channel);
            if (recipe != outputRecipes_.end()) {
                const double frequency = recipe->second.frequency;
                int threshold = static_cast<int>(std::ceil(frequency * 5.0 * 0.8));
                const auto& segments = recipe->second.segments;
                if (segments.size() == 1 && hasEnding(segments.front(), "_message")) {
                    threshold = 0;
                }
                if (count < threshold) {
                    shortfalls.push_back({channel, count, frequency * 5.0});
                }
            }
        }
    }
    for (const auto& shortfall : shortfalls) {
        log(LogLevel::Warning, sites.watchdog) << shortfall.channel << " of RTDE received " << shortfall.received
                                               << " packages " << "less than " << shortfall.expected << " in " << 5
                                               << " seconds";
    }
}

template <typename Protocol>
void RtdeTopics<Protocol>::reset() {
    std::lock_guard<std::mutex> guard(mutex);
    freeInputChannels.clear();
    freeOutputChannels.clear();
    for (int channel = 0; channel < kChannels; ++channel) {
        freeInputChannels.insert(channel);
        freeOutputChannels.insert(channel);
    }
    inputRecipes_.clear();
    outputRecipes_.clear();
    inputMap_.clear();
    outputMap_.clear();
    subscriptions.clear();
}

template class RtdeTopics<asio::ip::tcp>;
template class RtdeTopics<asio::local::stream_protocol>;

}  // namespace zorv_interface
