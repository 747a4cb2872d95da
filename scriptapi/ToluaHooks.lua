-- Hooks of the binding generator (run by tolua++ with -L while it reads a package).
-- "tolua_property__accessor T Name;" binds a script field Name through the class's GetName and
-- SetName methods, for fields that C++ keeps in a form scripts cannot hold (safe pointers).
function get_property_methods_hook(ptype, name)
    if ptype == "accessor" then
        return "Get" .. name, "Set" .. name
    end
end
