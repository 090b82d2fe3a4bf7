#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "connector_rtde_sites.h"
#include "zorv_interface/input_parser.h"
#include "zorv_interface/rtde_recipe.h"

namespace zorv_interface {

template <typename Protocol>
class RtdeConnection;

// The server's name maps, the two channel pools, the registered recipes, the
// subscriptions and (TCP) the delivery counts of one connection, with the topic
// operations on them. `mutex` guards every table and is never held while user code
// runs; the polling thread reads the tables while the application changes them.
template <typename Protocol>
class RtdeTopics {
public:
    using Subscription = std::function<void(InputParser&)>;
    using Recipes = std::unordered_map<int, RtdeRecipe>;

    // One channel's handler with (TCP) its deliveries in the current watchdog window.
    // Shared, so the receive path holds it without a copy of the handler or the lock.
    struct Subscriber {
        explicit Subscriber(Subscription handler) : handler(std::move(handler)) {}
        const Subscription handler;
        std::atomic<int> delivered{0};
    };
    using SubscriberPtr = std::shared_ptr<Subscriber>;

    static constexpr int kChannels = 100;
    static constexpr int kControlChannel = 100;

    explicit RtdeTopics(RtdeConnection<Protocol>& connection);

    int setTopic(bool to_server, const std::vector<std::string>& names, double frequency, int channel);
    int removeTopic(bool to_server, int channel);
    int subscribe(int channel, Subscription handler);
    bool checkRecipe(const std::vector<std::string>& names, const std::map<std::string, int>& map);

    void adoptMaps(std::map<std::string, int> input, std::map<std::string, int> output);
    std::map<std::string, int> inputMap();
    std::map<std::string, int> outputMap();
    Recipes inputRecipes();
    Recipes outputRecipes();

    // The channel's subscriber, null when nobody subscribed.
    SubscriberPtr subscriber(int channel);
    void countDelivery(Subscriber& subscriber);
    // The watchdog's check of the last window's delivery counts (TCP).
    void checkReceiveRates();
    static bool hasEnding(const std::string& full, const std::string& ending);

    // Full pools, no maps, recipes, subscriptions or counts.
    void reset();

private:
    // A free channel of the direction's pool, the requested one if free, taken for the
    // recipe; -1 when the pool is exhausted.
    int takeChannel(RtdeRecipe& recipe, int requested);

    RtdeConnection<Protocol>& connection;
    const RtdeLog& log;
    const RtdeSites& sites;

    std::mutex mutex;
    std::map<std::string, int> inputMap_;
    std::map<std::string, int> outputMap_;
    std::unordered_map<int, SubscriberPtr> subscriptions;
    Recipes inputRecipes_;
    Recipes outputRecipes_;
    std::set<int> freeInputChannels;
    std::set<int> freeOutputChannels;
};

}  // namespace zorv_interface
