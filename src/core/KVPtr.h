#pragma once

#include <memory>

// The shared counted reference used for every long-lived object of the configurator.
template <class T> using KVPtr = std::shared_ptr<T>;
