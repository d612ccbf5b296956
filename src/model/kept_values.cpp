#include "model/kept_values.h"

namespace qm {

// Never destroyed: a thread still drawing results as the program ends may
// read them. Colour 0 is the empty one, as a hit made blank has it.
KeptValues<std::string>& keptColors()
{
    static KeptValues<std::string>& kept = []() -> KeptValues<std::string>& {
        auto* values = new KeptValues<std::string>;
        values->number(std::string());
        return *values;
    }();
    return kept;
}

}  // namespace qm
