// View arithmetic for payload extraction. No platform calls.
#include "package/payload_views.h"

int NextPayloadView(uint32_t offset, uint32_t length, uint32_t done, uint32_t granularity, uint32_t viewSize,
                    PayloadView* view)
{
    if (done >= length || granularity == 0 || (granularity & (granularity - 1)) != 0 || viewSize < granularity
        || viewSize % granularity != 0)
        return 0;
    // offset + length never passes 4 GiB in a file whose size is 32 bits, but
    // nothing here relies on that.
    uint64_t position = static_cast<uint64_t>(offset) + done;
    if (position > 0xFFFFFFFFu)
        return 0;
    uint32_t next = static_cast<uint32_t>(position);
    view->mapOffset = next & ~(granularity - 1);
    view->skip = next - view->mapOffset;
    uint32_t remaining = length - done;
    uint32_t room = viewSize - view->skip;
    view->length = remaining < room ? remaining : room;
    view->mapLength = view->skip + view->length;
    return 1;
}
