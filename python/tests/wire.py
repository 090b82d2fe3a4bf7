"""Python records <-> the JSON the controller sees, derived from the bound fields."""
import pymirt_zorv_sdk as z

# Element types of list fields (a list read gives no hint when it is empty).
LIST_ELEMENTS = {
    "data": int, "stations": z.StationMark, "paths": z.PathStation, "virtual_areas": z.MapVirtualArea,
    "control_points": z.Point2d, "vertex": z.Point2d, "current_trajectory": z.Point2d, "stations_id": str,
}


def fields(cls):
    return [name for name, prop in vars(cls).items() if isinstance(prop, property) and prop.fset is not None]


def is_enum(value):
    return hasattr(type(value), "__members__")


def to_wire(value):
    if isinstance(value, (bool, int, float, str)) and not is_enum(value):
        return value
    if is_enum(value):
        return value.name
    if isinstance(value, list):
        return [to_wire(v) for v in value]
    wire = {name: to_wire(getattr(value, name)) for name in fields(type(value))}
    if isinstance(value, z.NavInfo):
        wire["type"] = wire["nav_type"]
    return wire


def sample_scalar(kind, seed):
    return {str: f"s{seed}", int: 5 + seed, float: 0.5 + seed, bool: True}[kind]


def sample(cls, seed=1):
    """A record of class cls with every field away from its default."""
    record = cls()
    for name in fields(cls):
        current = getattr(record, name)
        if is_enum(current):
            value = type(current)(1)
        elif isinstance(current, list):
            element = LIST_ELEMENTS[name]
            value = [sample(element, seed) if element not in (int, str) else sample_scalar(element, seed)]
        elif type(current) in (str, int, float, bool):
            value = sample_scalar(type(current), seed)
        else:
            value = sample(type(current), seed)
        setattr(record, name, value)
    return record


def strictly_equal(a, b):
    """Equality that tells 1 from 1.0 and True from 1, as the wire does."""
    if type(a) is not type(b):
        return False
    if isinstance(a, dict):
        return a.keys() == b.keys() and all(strictly_equal(a[k], b[k]) for k in a)
    if isinstance(a, list):
        return len(a) == len(b) and all(strictly_equal(x, y) for x, y in zip(a, b))
    return a == b
