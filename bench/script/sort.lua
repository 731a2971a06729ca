local function quicksort(a, lo, hi)
  local i, j = lo, hi
  local pivot = a[(lo + hi) // 2]
  repeat
    while a[i] < pivot do i = i + 1 end
    while a[j] > pivot do j = j - 1 end
    if i <= j then
      a[i], a[j] = a[j], a[i]
      i = i + 1
      j = j - 1
    end
  until i > j
  if lo < j then quicksort(a, lo, j) end
  if i < hi then quicksort(a, i, hi) end
end
local a = {}
local seed = 12345
for i = 0, 199999 do
  -- The same 32-bit wrap as the script's Integer arithmetic.
  seed = (seed * 1103515245 + 12345) & 0xffffffff
  if seed >= 0x80000000 then seed = seed - 0x100000000 end
  seed = seed % 2147483648
  if seed < 0 then seed = -seed end
  a[i] = seed % 1000000
end
quicksort(a, 0, 199999)
local ok = true
for i = 1, 199999 do
  if a[i - 1] > a[i] then ok = false end
end
print(ok and "sorted" or "NOT sorted")
