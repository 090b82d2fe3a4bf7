#include "zorv_interface/output_builder.h"

#include "output_builder_impl.h"

namespace zorv_interface {

void OutputBuilder::Impl::setJsonData(nlohmann::json* j) { target = j; }

OutputBuilder::OutputBuilder() : impl_(std::make_unique<Impl>()) {}
OutputBuilder::~OutputBuilder() = default;

OutputBuilder::Impl& OutputBuilder::impl() { return *impl_; }

OutputBuilder& OutputBuilder::push(char value) {
    impl_->push(static_cast<int>(static_cast<signed char>(value)));
    return *this;
}

OutputBuilder& OutputBuilder::push(short& value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::push(int value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::push(double value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::push(const std::string& value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::push(const std::vector<short>& value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::push(const std::vector<int>& value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::push(const std::vector<double>& value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::push(const std::tuple<int, bool>& value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::push(const RtdeRecipe& value) {
    impl_->push(value);
    return *this;
}

OutputBuilder& OutputBuilder::pushBool(bool value) {
    impl_->push(value);
    return *this;
}

}  // namespace zorv_interface
