#include "support/observed_source.h"

#include <algorithm>

ObservedSource::ObservedSource(const Bytes& bytes, uint32_t piece) : piece(piece) {
  memory.data = bytes.data();
  memory.length = static_cast<int64_t>(bytes.size());
  source = memory.source();
  source.context = this;
  source.read = [](void* c, void* buffer, uint32_t count, uint32_t* got, uint32_t* error) {
    auto* self = static_cast<ObservedSource*>(c);
    self->largestRead = std::max(self->largestRead, count);
    ByteSource inner = self->memory.source();
    return inner.read(inner.context, buffer, std::min(count, self->piece), got, error);
  };
  source.seek = [](void* c, int64_t offset) {
    ByteSource inner = static_cast<ObservedSource*>(c)->memory.source();
    return inner.seek(inner.context, offset);
  };
  source.tell = [](void* c) {
    ByteSource inner = static_cast<ObservedSource*>(c)->memory.source();
    return inner.tell(inner.context);
  };
}
