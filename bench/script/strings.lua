-- The idiomatic Lua way to build a long string: a buffer joined once.
local parts = {}
for i = 1, 100000 do
  parts[#parts + 1] = tostring(i)
end
local s = table.concat(parts)
print(#s)
