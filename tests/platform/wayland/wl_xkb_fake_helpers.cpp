// xkbcommon stand-ins for the Wayland fakes: every key is the letter a,
// repeats, and no modifier is active.
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <map>
#include <string>

namespace qm::test {

namespace {

const xkb_keysym_t letterA = XKB_KEY_a;

int keySyms(xkb_keymap*, xkb_keycode_t, xkb_layout_index_t, xkb_level_index_t, const xkb_keysym_t** syms)
{
    *syms = &letterA;
    return 1;
}
xkb_keysym_t oneSym(xkb_state*, xkb_keycode_t) { return letterA; }
uint32_t utf32(xkb_state*, xkb_keycode_t) { return 'a'; }
int modActive(xkb_state*, const char*, enum xkb_state_component) { return 0; }
int repeats(xkb_keymap*, xkb_keycode_t) { return 1; }
void stateUnref(xkb_state*) { }
void keymapUnref(xkb_keymap*) { }
enum xkb_state_component updateMask(xkb_state*, xkb_mod_mask_t, xkb_mod_mask_t, xkb_mod_mask_t, xkb_layout_index_t,
    xkb_layout_index_t, xkb_layout_index_t)
{
    return xkb_state_component(0);
}

}  // namespace

std::map<std::string, void*>& xkbFakeFunctions()
{
    static std::map<std::string, void*> table = {
        {"xkb_keymap_key_get_syms_by_level", reinterpret_cast<void*>(keySyms)},
        {"xkb_state_key_get_one_sym", reinterpret_cast<void*>(oneSym)},
        {"xkb_state_key_get_utf32", reinterpret_cast<void*>(utf32)},
        {"xkb_state_mod_name_is_active", reinterpret_cast<void*>(modActive)},
        {"xkb_keymap_key_repeats", reinterpret_cast<void*>(repeats)},
        {"xkb_state_unref", reinterpret_cast<void*>(stateUnref)},
        {"xkb_keymap_unref", reinterpret_cast<void*>(keymapUnref)},
        {"xkb_state_update_mask", reinterpret_cast<void*>(updateMask)},
    };
    return table;
}

}  // namespace qm::test
