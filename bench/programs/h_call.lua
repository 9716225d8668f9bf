local function f(x) return x * x - x end
local i, s = 0, 0
while i < 1000000 do
  local t = s + f(i - (i // 100) * 100)
  s = t - (t // 1000003) * 1000003
  i = i + 1
end
print(s)
