// The CLAP extensions this plugin offers that the CLAP 1.1 headers shipped
// with the plugin framework do not declare: the tail (CLAP 1.0), preset
// load and preset discovery (CLAP 1.2). Declared here exactly as the CLAP
// ABI lays them out, under their stable ids and the draft ids hosts of
// CLAP 1.1 look for.
#pragma once

#include <clap/plugin.h>
#include <clap/version.h>

#include <cstdint>

extern "C" {

// The tail.
inline constexpr char CLAP_EXT_TAIL_ID[] = "clap.tail";

typedef struct clap_plugin_tail_ext {
    // Main and audio thread: the tail in frames; INT32_MAX or more is endless.
    uint32_t (*get)(const clap_plugin_t* plugin);
} clap_plugin_tail_ext_t;

typedef struct clap_host_tail_ext {
    // Audio thread: the plugin's tail changed.
    void (*changed)(const clap_host_t* host);
} clap_host_tail_ext_t;

// Preset load.
inline constexpr char CLAP_EXT_PRESET_LOAD_ID[] = "clap.preset-load/2";
inline constexpr char CLAP_EXT_PRESET_LOAD_COMPAT_ID[] = "clap.preset-load.draft/2";

enum { CLAP_PRESET_LOCATION_FILE = 0, CLAP_PRESET_LOCATION_PLUGIN = 1 };
enum { CLAP_PRESET_IS_FACTORY_CONTENT = 1 << 0 };

typedef struct clap_plugin_preset_load_ext {
    // Main thread.
    bool (*from_location)(const clap_plugin_t* plugin, uint32_t location_kind, const char* location,
                          const char* load_key);
} clap_plugin_preset_load_ext_t;

typedef struct clap_host_preset_load_ext {
    // Main thread.
    void (*on_error)(const clap_host_t* host, uint32_t location_kind, const char* location,
                     const char* load_key, int32_t os_error, const char* msg);
    void (*loaded)(const clap_host_t* host, uint32_t location_kind, const char* location,
                   const char* load_key);
} clap_host_preset_load_ext_t;

// Preset discovery.
inline constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID[] = "clap.preset-discovery-factory/2";
inline constexpr char CLAP_PRESET_DISCOVERY_FACTORY_COMPAT_ID[] = "clap.preset-discovery-factory/draft-2";

typedef struct clap_universal_plugin_id_ext {
    const char* abi;
    const char* id;
} clap_universal_plugin_id_ext_t;

typedef struct clap_preset_discovery_metadata_receiver_ext {
    void* receiver_data;
    void (*on_error)(const struct clap_preset_discovery_metadata_receiver_ext* receiver, int32_t os_error,
                     const char* error_message);
    bool (*begin_preset)(const struct clap_preset_discovery_metadata_receiver_ext* receiver,
                         const char* name, const char* load_key);
    void (*add_plugin_id)(const struct clap_preset_discovery_metadata_receiver_ext* receiver,
                          const clap_universal_plugin_id_ext_t* plugin_id);
    void (*set_soundpack_id)(const struct clap_preset_discovery_metadata_receiver_ext* receiver,
                             const char* soundpack_id);
    void (*set_flags)(const struct clap_preset_discovery_metadata_receiver_ext* receiver, uint32_t flags);
    void (*add_creator)(const struct clap_preset_discovery_metadata_receiver_ext* receiver,
                        const char* creator);
    void (*set_description)(const struct clap_preset_discovery_metadata_receiver_ext* receiver,
                            const char* description);
    void (*set_timestamps)(const struct clap_preset_discovery_metadata_receiver_ext* receiver,
                           uint64_t creation_time, uint64_t modification_time);
    void (*add_feature)(const struct clap_preset_discovery_metadata_receiver_ext* receiver,
                        const char* feature);
    void (*add_extra_info)(const struct clap_preset_discovery_metadata_receiver_ext* receiver,
                           const char* key, const char* value);
} clap_preset_discovery_metadata_receiver_ext_t;

typedef struct clap_preset_discovery_location_ext {
    uint32_t flags;
    const char* name;
    uint32_t kind;
    const char* location;  // null for presets inside the plugin
} clap_preset_discovery_location_ext_t;

typedef struct clap_preset_discovery_indexer_ext {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data;
    bool (*declare_filetype)(const struct clap_preset_discovery_indexer_ext* indexer, const void* filetype);
    bool (*declare_location)(const struct clap_preset_discovery_indexer_ext* indexer,
                             const clap_preset_discovery_location_ext_t* location);
    bool (*declare_soundpack)(const struct clap_preset_discovery_indexer_ext* indexer, const void* soundpack);
    const void* (*get_extension)(const struct clap_preset_discovery_indexer_ext* indexer, const char* id);
} clap_preset_discovery_indexer_ext_t;

typedef struct clap_preset_discovery_provider_descriptor_ext {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
} clap_preset_discovery_provider_descriptor_ext_t;

typedef struct clap_preset_discovery_provider_ext {
    const clap_preset_discovery_provider_descriptor_ext_t* desc;
    void* provider_data;
    bool (*init)(const struct clap_preset_discovery_provider_ext* provider);
    void (*destroy)(const struct clap_preset_discovery_provider_ext* provider);
    bool (*get_metadata)(const struct clap_preset_discovery_provider_ext* provider, uint32_t location_kind,
                         const char* location,
                         const clap_preset_discovery_metadata_receiver_ext_t* metadata_receiver);
    const void* (*get_extension)(const struct clap_preset_discovery_provider_ext* provider, const char* id);
} clap_preset_discovery_provider_ext_t;

typedef struct clap_preset_discovery_factory_ext {
    uint32_t (*count)(const struct clap_preset_discovery_factory_ext* factory);
    const clap_preset_discovery_provider_descriptor_ext_t* (*get_descriptor)(
        const struct clap_preset_discovery_factory_ext* factory, uint32_t index);
    const clap_preset_discovery_provider_ext_t* (*create)(
        const struct clap_preset_discovery_factory_ext* factory,
        const clap_preset_discovery_indexer_ext_t* indexer, const char* provider_id);
} clap_preset_discovery_factory_ext_t;

}  // extern "C"
