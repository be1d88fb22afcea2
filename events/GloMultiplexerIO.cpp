// The multiplexer's connections as configuration records, in table order.
#include <ostream>

#include "GdrConfigFile.h"
#include "GloEventMultiplexer.h"

void CGlo_EventMultiplexer::serialize(std::ostream& out) {
    for (int i = 0; i < count; ++i)
        static_cast<CGlo_FunctionSetup&>(table[i]).serialize(out);
}

void CGlo_EventMultiplexer::serialize(CGdrConfigFile& configFile) {
    for (int i = 0; i < count; ++i)
        static_cast<CGlo_FunctionSetup&>(table[i]).serialize(configFile);
}
