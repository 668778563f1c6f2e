#include "support/FakeSources.h"

int KVFakeApplicationState::ApplicationImageIndex(std::string_view id) {
    auto found = m_images.find(id);
    return found == m_images.end() ? -1 : found->second;
}

int KVFakeLayoutSource::LayoutImageIndex(uint32_t layout) {
    auto found = m_images.find(layout);
    return found == m_images.end() ? -1 : found->second;
}
