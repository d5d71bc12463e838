"""A configure preset of CMakePresets.json as CMake reads it: inherited fields filled in (cache
variables merged, the nearer preset winning) and ${presetName} and ${sourceDir} left for the caller."""
import json
import os


def configure_preset(source, name):
    with open(os.path.join(source, "CMakePresets.json")) as f:
        presets = {p["name"]: p for p in json.load(f)["configurePresets"]}

    def resolved(preset_name):
        preset = presets[preset_name]
        parents = preset.get("inherits", [])
        result = {"cacheVariables": {}}
        for parent in [parents] if isinstance(parents, str) else parents:
            for key, value in resolved(parent).items():
                if key == "cacheVariables":
                    result["cacheVariables"] = {**value, **result["cacheVariables"]}
                else:
                    result.setdefault(key, value)
        for key, value in preset.items():
            if key == "cacheVariables":
                result["cacheVariables"].update(value)
            elif key not in ("inherits", "hidden"):
                result[key] = value
        return result

    preset = resolved(name)
    preset["binaryDir"] = preset["binaryDir"].replace("${presetName}", name)
    return preset
