#pragma once

namespace vandrel {

// Frees what libmpv versions that leak a packet per recorded packet leave
// behind; `mpv` is libmpv's dlopen handle. Does nothing for other versions.
void MendRecordLeak(void* mpv, unsigned long api_version);

}  // namespace vandrel
