#pragma once
// A fresh service instance per event, made from a class object that the
// thread obtains once and keeps: obtaining the class object is what sets up
// the connection to the server process, the costly part of each event. A kept
// class object goes stale when the server ends or restarts; a failure with it
// drops it and obtains it once more within the same event.
namespace qlx::integrator {

template <typename ClassObject> class KeptClassObject {
public:
    // `obtain()` gives a new class object, empty on failure; `make(classObject)`
    // an instance from it, empty on failure.
    template <typename Obtain, typename Make> auto Instance(Obtain&& obtain, Make&& make) {
        if (kept_) {
            if (auto instance = make(kept_)) {
                return instance;
            }
            Drop();
        }
        kept_ = obtain();
        decltype(make(kept_)) instance{};
        if (kept_) {
            instance = make(kept_);
            if (!instance) {
                Drop();
            }
        }
        return instance;
    }

    void Drop() { kept_ = ClassObject{}; }
    bool Kept() const { return static_cast<bool>(kept_); }

private:
    ClassObject kept_{};
};

} // namespace qlx::integrator
