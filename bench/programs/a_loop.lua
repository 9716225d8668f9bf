local i, s = 0, 0
while i < 3000000 do
  local t = s * 31 + i
  s = t - (t // 1000003) * 1000003
  i = i + 1
end
print(s)
